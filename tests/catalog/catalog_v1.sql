-- A catalog as the first released kelvo left it (schema version 1), written out independently of
-- the catalog's own scripts, with one playlist and one finished video.
CREATE TABLE playlists (id INTEGER PRIMARY KEY, youtube_playlist_id TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL, target_path TEXT NOT NULL, check_interval_min INTEGER NOT NULL DEFAULT 30,
  enabled INTEGER NOT NULL DEFAULT 1, last_checked_at REAL);
CREATE TABLE videos (video_id TEXT PRIMARY KEY, title TEXT NOT NULL, channel TEXT,
  upload_date TEXT, duration_sec INTEGER, description TEXT, status TEXT NOT NULL DEFAULT 'queued',
  error TEXT, downloaded_at REAL);
CREATE TABLE playlist_items (
  playlist_id INTEGER NOT NULL REFERENCES playlists(id) ON DELETE CASCADE,
  video_id TEXT NOT NULL REFERENCES videos(video_id), file_path TEXT, nfo_path TEXT,
  first_seen_at REAL NOT NULL, removed_at REAL, archived_at REAL,
  PRIMARY KEY (playlist_id, video_id));
CREATE TABLE summaries (video_id TEXT PRIMARY KEY REFERENCES videos(video_id),
  summary TEXT NOT NULL, model_version TEXT NOT NULL, generated_at REAL NOT NULL);
CREATE TABLE tags (video_id TEXT NOT NULL REFERENCES videos(video_id), tag TEXT NOT NULL,
  source TEXT NOT NULL CHECK (source IN ('youtube','kelvo')), PRIMARY KEY (video_id, tag, source));
CREATE VIRTUAL TABLE videos_fts USING fts5(video_id UNINDEXED, title, summary, tags);
INSERT INTO playlists (youtube_playlist_id, title, target_path) VALUES ('PLold', 'Old', '/lib');
INSERT INTO videos (video_id, title, status) VALUES ('old00000001', 'Kept title', 'done');
PRAGMA user_version = 1;
