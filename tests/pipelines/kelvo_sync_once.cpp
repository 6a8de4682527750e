// kelvo-sync-once <catalog> <playlist id>: one sync of a registered playlist with the tools that
// KELVO_TOOLS_DIR names (the yt-dlp stand-in in tests). Prints the log lines and the report's
// summary; exit status 0 when the run completed, 1 otherwise.
#include <iostream>
#include <string>

#include "core/catalog/catalog.h"
#include "core/engine/ytdlp_engine.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kelvo-sync-once <catalog> <playlist id>\n";
        return 2;
    }
    try {
        kelvo::Catalog catalog(argv[1]);
        kelvo::YTDLPEngine engine(kelvo::ToolLocator::forCurrentProcess(), 1);
        kelvo::YTDLPPlaylistSource source(engine);
        const kelvo::LogCallback log = [](const std::string& line) { std::cout << line << "\n"; };
        kelvo::Downloader downloader(catalog, engine, nullptr, log);
        kelvo::SyncEngine syncer(catalog, source, downloader, log);
        for (const kelvo::PlaylistRecord& playlist : catalog.playlists()) {
            if (playlist.youtubeID == argv[2]) {
                std::cout << syncer.sync(playlist).summary() << std::endl;
                return 0;
            }
        }
        std::cerr << "no playlist " << argv[2] << "\n";
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    return 1;
}
