// kelvo-sync-once <catalog> <playlist id>: one sync of a registered playlist with the tools that
// KELVO_TOOLS_DIR names (the yt-dlp stand-in in tests). Prints each log line as it comes and the
// report's summary; exit status 0 when the run completed (an error ends it by std::terminate).
#include <iostream>

#include "core/catalog/catalog.h"
#include "core/engine/ytdlp_engine.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/sync_engine.h"

int main(int, char** argv) {
    kelvo::Catalog catalog(argv[1]);
    kelvo::YTDLPEngine engine(kelvo::ToolLocator::forCurrentProcess(), 1);
    kelvo::YTDLPPlaylistSource source(engine);
    const kelvo::LogCallback log = [](const std::string& line) { std::cout << line << std::endl; };
    kelvo::Downloader downloader(catalog, engine, nullptr, log);
    kelvo::SyncEngine syncer(catalog, source, downloader, log);
    for (const kelvo::PlaylistRecord& playlist : catalog.playlists()) {
        if (playlist.youtubeID == argv[2]) {
            std::cout << syncer.sync(playlist).summary() << std::endl;
        }
    }
}
