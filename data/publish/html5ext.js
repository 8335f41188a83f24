/*
 * Support script of a published video block. It needs nothing else and only
 * touches the blocks it finds (div.tovalumen); running it again, as pages
 * with several blocks do, leaves the blocks it has already seen alone.
 *
 * - hides the credit line (.tlm_script) of every block;
 * - when the browser's autoplay policy refuses to start a video with sound,
 *   starts it muted and shows an unmute button;
 * - when the chosen source gives sound but no picture (an Ogg Theora file in
 *   a browser without Theora), moves on to the next source;
 * - on videos with controls, adds a full-screen button drawn with
 *   fullscreen.png from this script's own folder.
 */
(function () {
    "use strict";

    var DONE_MARK = "tlmReady";
    var MUTED_MARK = "tlmMuted"; // muted by this script, not by the visitor
    var script = document.currentScript;

    function folderOf(element) {
        return element && element.src ? element.src.replace(/[^\/]*$/, "") : "";
    }

    // Each block loads this script from its own media folder, just after the
    // block; the icon comes from there, as the block published it.
    function blockFolder(block) {
        var next = block.nextElementSibling;
        if (next && next.tagName === "SCRIPT" && /html5ext\.js$/.test(next.src || ""))
            return folderOf(next);
        return folderOf(script);
    }

    function addStyle() {
        if (document.getElementById("tlm_style"))
            return;
        var style = document.createElement("style");
        style.id = "tlm_style";
        style.textContent =
            ".tovalumen .tlm_script{display:none}" +
            ".tovalumen video{display:block;max-width:100%;height:auto;background:#000}" +
            ".tovalumen .tlm_button{position:absolute;top:8px;z-index:2;margin:0;border:0;" +
            "border-radius:4px;background:rgba(0,0,0,.6);color:#fff;cursor:pointer;" +
            "font:600 14px/1 sans-serif;opacity:.75;transition:opacity .2s}" +
            ".tovalumen .tlm_button:hover,.tovalumen .tlm_button:focus{opacity:1}" +
            ".tovalumen .tlm_unmute{left:8px;padding:8px 12px}" +
            ".tovalumen .tlm_fullscreen{right:8px;width:36px;height:36px;padding:4px;" +
            "background-repeat:no-repeat;background-position:center;background-size:24px 24px}";
        (document.head || document.documentElement).appendChild(style);
    }

    function makeButton(block, className, label) {
        var button = document.createElement("button");
        button.type = "button";
        button.className = "tlm_button " + className;
        button.setAttribute("aria-label", label);
        button.title = label;
        block.appendChild(button);
        return button;
    }

    // Browsers may refuse to start a video with sound until the visitor has
    // interacted with the page. Such a video starts muted instead, with a
    // button that brings the sound back.
    function play(block, video) {
        var attempt = video.play();
        if (!attempt || typeof attempt.then !== "function")
            return;
        attempt.then(function () {
            if (video.muted && block.dataset[MUTED_MARK])
                showUnmute(block, video);
        }, function (error) {
            if (!error || error.name !== "NotAllowedError" || video.muted)
                return;
            video.muted = true;
            block.dataset[MUTED_MARK] = "1";
            play(block, video);
        });
    }

    function showUnmute(block, video) {
        if (block.querySelector(".tlm_unmute"))
            return;
        var button = makeButton(block, "tlm_unmute", "Unmute");
        button.textContent = "\uD83D\uDD07 Unmute";
        function remove() {
            delete block.dataset[MUTED_MARK];
            if (button.parentNode)
                button.parentNode.removeChild(button);
        }
        button.addEventListener("click", function () {
            video.muted = false;
            remove();
            if (video.paused)
                video.play();
        });
        // The visitor unmuted through the player's own controls.
        video.addEventListener("volumechange", function () {
            if (!video.muted)
                remove();
        });
    }

    // A source that plays without a picture: drop it and the sources before it
    // (the browser passed over those already), and let the browser choose again.
    function skipSourcesWithoutPicture(block, video) {
        function check() {
            if (video.videoWidth > 0 || video.videoHeight > 0)
                return;
            var sources = video.querySelectorAll("source");
            var current = -1;
            for (var i = 0; i < sources.length; ++i) {
                if (sources[i].src === video.currentSrc)
                    current = i;
            }
            if (current < 0 || current === sources.length - 1)
                return;
            for (var j = 0; j <= current; ++j)
                video.removeChild(sources[j]);
            var resume = !video.paused || video.hasAttribute("autoplay");
            video.load();
            if (resume)
                play(block, video);
        }
        video.addEventListener("loadedmetadata", check);
        // The metadata may have arrived before this script ran.
        if (video.readyState >= 1)
            check();
    }

    function fullscreenElement() {
        return document.fullscreenElement || document.webkitFullscreenElement || null;
    }

    function addFullscreenButton(block, video) {
        if (!video.hasAttribute("controls"))
            return;
        var enter = video.requestFullscreen || video.webkitRequestFullscreen ||
            video.webkitEnterFullscreen;
        if (!enter)
            return;
        var button = makeButton(block, "tlm_fullscreen", "Full screen");
        button.style.backgroundImage = "url(\"" + blockFolder(block) + "fullscreen.png\")";
        button.addEventListener("click", function () {
            if (fullscreenElement()) {
                (document.exitFullscreen || document.webkitExitFullscreen).call(document);
                return;
            }
            var result = enter.call(video);
            if (result && typeof result.catch === "function")
                result.catch(function () {});
        });
    }

    function setUp(block) {
        if (block.dataset[DONE_MARK])
            return;
        block.dataset[DONE_MARK] = "1";
        var credits = block.querySelectorAll(".tlm_script");
        for (var i = 0; i < credits.length; ++i)
            credits[i].style.display = "none";
        var video = block.querySelector("video");
        if (!video)
            return;
        skipSourcesWithoutPicture(block, video);
        addFullscreenButton(block, video);
        if (video.hasAttribute("autoplay") && typeof video.play === "function")
            play(block, video);
    }

    function setUpAll() {
        addStyle();
        var blocks = document.querySelectorAll(".tovalumen");
        for (var i = 0; i < blocks.length; ++i)
            setUp(blocks[i]);
    }

    // The block stands before its script tag, so it is there already; blocks
    // further down the page are set up once the page is parsed.
    setUpAll();
    if (document.readyState === "loading")
        document.addEventListener("DOMContentLoaded", setUpAll);
})();
