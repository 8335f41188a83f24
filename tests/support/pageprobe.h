#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

class LoopbackHttpServer;

// Opens a page of the server in headless Chromium with a probe script added,
// waits until every video element on it shows a picture (and plays, when it
// has autoplay) or the time is up, and returns what the probe saw:
//   "videos": [{currentSrc, videoWidth, videoHeight, readyState, error (code
//              or null), paused, muted, currentTime, sources: [src...]}],
//   "unmuteButtons": number shown, "fullscreenButtons": [{image, imageWidth}],
//   "creditsShown": number of .tlm_script blocks displayed,
//   "blocks": [{left, right, width}] of div.tovalumen, "viewportWidth",
//   "scrollWidth", "timedOut".
// An empty object when the browser did not report; `diagnostics` then
// holds the browser's output. A page holding an iframe marked
// "data-probe-frame" does not report itself: the page in that frame does
// (with the frame's width as its viewport).
QJsonObject probePage(LoopbackHttpServer& server, const QString& path,
                      const QStringList& chromiumArguments, QString* diagnostics,
                      int timeoutMs = 40000);
