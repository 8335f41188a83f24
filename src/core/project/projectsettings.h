#pragma once

#include <QString>

// The keys of a project's settings map and of the publish parameter map that
// is derived from it. Every reader and writer of these maps names the keys
// through these constants; the texts are stored in project files, so they never
// change.

// Top-level project settings.
extern const QString VIDEO_TITLE;
// The misspelling is what project files hold.
extern const QString VIDEO_PREVIEW;
extern const QString VIDEO_USE_CUSTOM_POSTER;
extern const QString VIDEO_CUSTOM_POSTER;
extern const QString VIDEO_AUTOPLAY;
extern const QString VIDEO_LOOP;
extern const QString VIDEO_CONTROLS;
extern const QString VIDEO_FLASH;
extern const QString VIDEO_FORMATS;
extern const QString VIDEO_ENCODING_PARAMETERS;
// In the project settings the source's frame size; in the publish map the
// size at which the page shows the video.
extern const QString VIDEO_SIZE;
extern const QString VIDEO_DURATION;
extern const QString VIDEO_BITRATE;
extern const QString VIDEO_FRAMERATE;
extern const QString VIDEO_CODEC;
extern const QString FILE_SIZE;
extern const QString FILE_LAST_MODIFIED;
extern const QString PUBLISH_PARAMETERS;

// Output format names: values of VIDEO_FORMATS and, in the publish map, keys
// whose value is the path of that format's encoded file.
extern const QString VIDEO_WEBM_FORMAT;
extern const QString VIDEO_MPEG4_FORMAT;
extern const QString VIDEO_THEORA_FORMAT;
extern const QString VIDEO_LOW_MPEG4_FORMAT;

// Publish parameters, stored under PUBLISH_PARAMETERS together with
// VIDEO_AUTOPLAY, VIDEO_LOOP, VIDEO_CONTROLS, VIDEO_FLASH and VIDEO_SIZE.
extern const QString PUBLISH_TYPE;
extern const QString PUBLISH_TYPE_LOCAL;
extern const QString PUBLISH_TYPE_FTP;
extern const QString PUBLISH_TYPE_HTML;
extern const QString PUBLISH_PATH;
extern const QString PUBLISH_INDEX_FILE;
extern const QString PUBLISH_HTML;
extern const QString PUBLISH_FTP_SERVER;
extern const QString PUBLISH_PREVIEW;
extern const QString PUBLISH_BATCH_COUNT;
extern const QString PUBLISH_BATCH_INDEX;

// Keys added to a copy of the publish parameters for one publish job and never
// stored (besides VIDEO_TITLE and the format names).
extern const QString VIDEO_SOURCE;
extern const QString VIDEO_POSTER_PATH;
extern const QString PUBLISH_NEXT_VIDEO;
extern const QString PUBLISH_PREV_VIDEO;
