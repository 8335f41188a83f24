import flash.Lib;
import flash.display.Loader;
import flash.display.Shape;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageDisplayState;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.events.FullScreenEvent;
import flash.events.IOErrorEvent;
import flash.events.KeyboardEvent;
import flash.events.MouseEvent;
import flash.events.NetStatusEvent;
import flash.events.SecurityErrorEvent;
import flash.media.Video;
import flash.net.NetConnection;
import flash.net.NetStream;
import flash.net.URLRequest;
import flash.text.TextField;
import flash.text.TextFormat;
import flash.utils.Timer;
import flash.events.TimerEvent;

// The Flash fallback of a published video: plays the progressive MP4 named
// by the flashVars "src" in the player's own folder, with the poster before
// the first start (and after the end with "posterOnEnd"), a big play button
// while stopped, and an optional control bar that hides itself while the
// video plays and the mouse rests.
class Plavex extends Sprite {
    static inline var HIDE_DELAY_MS = 2500;

    var options:PlayerOptions;
    var background = new Shape();
    var video = new Video();
    var poster = new Loader();
    var posterLoaded = false;
    var bigPlay = new Sprite();
    var message = new TextField();
    var bar:ControlBar;
    var hideTimer = new Timer(HIDE_DELAY_MS, 1);

    var connection = new NetConnection();
    var stream:NetStream;
    var started = false;
    var playing = false;
    var duration = 0.0;
    var videoWidth = 0.0;
    var videoHeight = 0.0;

    static function main() {
        var stage = Lib.current.stage;
        stage.scaleMode = StageScaleMode.NO_SCALE;
        stage.align = StageAlign.TOP_LEFT;
        Lib.current.addChild(new Plavex(new PlayerOptions(Lib.current.loaderInfo.parameters)));
    }

    public function new(options:PlayerOptions) {
        super();
        this.options = options;
        addChild(background);
        video.smoothing = true;
        video.visible = false;
        addChild(video);
        addChild(poster);
        addChild(bigPlay);
        message.selectable = false;
        message.wordWrap = true;
        message.defaultTextFormat = new TextFormat("_sans", 13, 0xffffff, false, false, false, null, null, flash.text.TextFormatAlign.CENTER);
        message.visible = false;
        addChild(message);
        if (options.controls) {
            bar = new ControlBar(options.fullScreenEnabled);
            bar.onToggle = toggle;
            bar.onSeek = seekShare;
            bar.onFullScreen = toggleFullScreen;
            addChild(bar);
        }
        drawBigPlay();
        bigPlay.buttonMode = true;
        bigPlay.addEventListener(MouseEvent.CLICK, function(_) toggle());
        addEventListener(Event.ADDED_TO_STAGE, onAdded);
    }

    function onAdded(_) {
        stage.addEventListener(Event.RESIZE, function(_) layout());
        stage.addEventListener(FullScreenEvent.FULL_SCREEN, function(_) layout());
        stage.addEventListener(MouseEvent.MOUSE_MOVE, function(_) showControls());
        stage.addEventListener(KeyboardEvent.KEY_DOWN, function(e:KeyboardEvent) {
            if (e.keyCode == 32)
                toggle();
        });
        stage.doubleClickEnabled = true;
        doubleClickEnabled = true;
        addEventListener(MouseEvent.DOUBLE_CLICK, function(_) if (options.fullScreenEnabled) toggleFullScreen());
        // A click on the picture itself pauses and resumes, as in browsers.
        addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
            if (e.target == this)
                toggle();
        });
        hideTimer.addEventListener(TimerEvent.TIMER, function(_) hideControls());
        addEventListener(Event.ENTER_FRAME, function(_) tick());

        loadPoster();
        connection.addEventListener(NetStatusEvent.NET_STATUS, onStatus);
        connection.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) fail("Security error"));
        connection.connect(null);
        layout();
    }

    function loadPoster() {
        if (options.poster == "")
            return;
        poster.contentLoaderInfo.addEventListener(Event.COMPLETE, function(_) {
            posterLoaded = true;
            layout();
        });
        poster.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) poster.visible = false);
        poster.load(new URLRequest(options.poster));
    }

    function onStatus(e:NetStatusEvent) {
        var code:String = e.info.code;
        switch (code) {
            case "NetConnection.Connect.Success":
                openStream();
            case "NetStream.Play.StreamNotFound":
                fail("Video not found: " + options.src);
            case "NetStream.Play.Stop":
                // Also sent when the buffer runs dry near the end; only a
                // position at the end means the video is over.
                if (duration <= 0 || stream.time >= duration - 0.5)
                    ended();
            case "NetStream.Play.Failed", "NetStream.Failed":
                fail("Unable to play the video");
            default:
        }
    }

    function openStream() {
        stream = new NetStream(connection);
        stream.bufferTime = 2;
        stream.client = {
            onMetaData: function(data:Dynamic) {
                if (data.duration != null)
                    duration = data.duration;
                if (data.width != null && data.height != null) {
                    videoWidth = data.width;
                    videoHeight = data.height;
                }
                layout();
            },
            onPlayStatus: function(data:Dynamic) {
                if (data.code == "NetStream.Play.Complete")
                    ended();
            },
            onXMPData: function(_) {},
            onCuePoint: function(_) {}
        };
        stream.addEventListener(NetStatusEvent.NET_STATUS, onStatus);
        stream.addEventListener(IOErrorEvent.IO_ERROR, function(_) fail("Unable to load the video"));
        video.attachNetStream(stream);
        if (options.autoplay)
            play();
        else
            updateState();
    }

    function play() {
        if (stream == null || options.src == "")
            return;
        if (!started) {
            started = true;
            stream.play(options.src);
        } else {
            stream.resume();
        }
        playing = true;
        poster.visible = false;
        video.visible = true;
        updateState();
    }

    function pause() {
        if (stream == null)
            return;
        stream.pause();
        playing = false;
        updateState();
    }

    function toggle() {
        if (playing)
            pause();
        else
            play();
    }

    function seekShare(share:Float) {
        if (stream == null || duration <= 0)
            return;
        if (!started)
            play();
        stream.seek(share * duration);
    }

    function ended() {
        if (options.loop) {
            stream.seek(0);
            stream.resume();
            return;
        }
        stream.pause();
        stream.seek(0);
        playing = false;
        if (options.posterOnEnd && posterLoaded) {
            poster.visible = true;
            video.visible = false;
        }
        updateState();
    }

    function toggleFullScreen() {
        if (!options.fullScreenEnabled)
            return;
        try {
            stage.displayState = stage.displayState == StageDisplayState.NORMAL
                ? StageDisplayState.FULL_SCREEN
                : StageDisplayState.NORMAL;
        } catch (e:Dynamic) {
            // The page did not allow full screen: stay as we are.
        }
    }

    function fail(text:String) {
        playing = false;
        message.text = text;
        message.visible = true;
        updateState();
    }

    function updateState() {
        bigPlay.visible = !playing && !message.visible;
        if (bar != null)
            bar.setPlaying(playing);
        showControls();
    }

    function showControls() {
        if (bar == null)
            return;
        bar.visible = true;
        hideTimer.reset();
        if (playing)
            hideTimer.start();
    }

    function hideControls() {
        if (bar != null && playing)
            bar.visible = false;
    }

    function tick() {
        if (bar == null || stream == null || !bar.visible)
            return;
        var loaded = stream.bytesTotal > 0 ? stream.bytesLoaded / stream.bytesTotal : 0;
        bar.update(stream.time, duration, loaded);
    }

    function layout() {
        if (stage == null)
            return;
        var width:Float = stage.stageWidth;
        var height:Float = stage.stageHeight;
        var g = background.graphics;
        g.clear();
        g.beginFill(0x000000);
        g.drawRect(0, 0, width, height);
        g.endFill();

        fit(video, videoWidth > 0 ? videoWidth : width, videoHeight > 0 ? videoHeight : height, width, height);
        if (posterLoaded)
            fit(poster, poster.contentLoaderInfo.width, poster.contentLoaderInfo.height, width, height);

        bigPlay.x = (width - bigPlay.width) / 2;
        bigPlay.y = (height - bigPlay.height) / 2;
        message.width = width - 20;
        message.height = 40;
        message.x = 10;
        message.y = (height - 20) / 2;
        if (bar != null) {
            bar.y = height - ControlBar.HEIGHT;
            bar.layout(width);
        }
    }

    // Letterboxes the object into the area, keeping its aspect ratio.
    static function fit(object:flash.display.DisplayObject, naturalWidth:Float, naturalHeight:Float, width:Float, height:Float) {
        if (naturalWidth <= 0 || naturalHeight <= 0)
            return;
        var scale = Math.min(width / naturalWidth, height / naturalHeight);
        object.width = naturalWidth * scale;
        object.height = naturalHeight * scale;
        object.x = (width - object.width) / 2;
        object.y = (height - object.height) / 2;
    }

    function drawBigPlay() {
        var g = bigPlay.graphics;
        g.clear();
        g.beginFill(0x000000, 0.6);
        g.drawCircle(32, 32, 32);
        g.endFill();
        g.beginFill(0xffffff);
        g.moveTo(24, 17);
        g.lineTo(48, 32);
        g.lineTo(24, 47);
        g.lineTo(24, 17);
        g.endFill();
    }
}
