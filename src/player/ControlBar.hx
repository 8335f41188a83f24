import flash.display.Shape;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.text.TextField;
import flash.text.TextFormat;

// The strip along the bottom of the player: play/pause, a track that shows
// what is buffered and played and seeks on click, the times, and the
// full-screen button when full screen is allowed.
class ControlBar extends Sprite {
    public static inline var HEIGHT = 28;
    static inline var BUTTON = 28;
    static inline var TIME_WIDTH = 92;

    public var onToggle:Void->Void;
    public var onSeek:Float->Void;
    public var onFullScreen:Void->Void;

    var background = new Shape();
    var playButton = new Sprite();
    var track = new Sprite();
    var trackFill = new Shape();
    var time = new TextField();
    var fullScreenButton = new Sprite();
    var withFullScreen:Bool;
    var barWidth = 0.0;
    var trackWidth = 0.0;
    var playing = false;

    public function new(withFullScreen:Bool) {
        super();
        this.withFullScreen = withFullScreen;
        addChild(background);
        addChild(playButton);
        track.addChild(trackFill);
        addChild(track);
        addChild(time);
        if (withFullScreen)
            addChild(fullScreenButton);

        playButton.buttonMode = true;
        playButton.addEventListener(MouseEvent.CLICK, function(_) if (onToggle != null) onToggle());
        track.buttonMode = true;
        track.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
            if (onSeek != null && trackWidth > 0)
                onSeek(Math.max(0, Math.min(1, e.localX / trackWidth)));
        });
        fullScreenButton.buttonMode = true;
        fullScreenButton.addEventListener(MouseEvent.CLICK, function(_) if (onFullScreen != null) onFullScreen());

        time.selectable = false;
        time.mouseEnabled = false;
        time.defaultTextFormat = new TextFormat("_sans", 11, 0xffffff, false, false, false, null, null, flash.text.TextFormatAlign.CENTER);
        time.height = 18;
        time.y = (HEIGHT - 18) / 2;
        drawPlayButton();
        drawFullScreenButton();
    }

    public function layout(width:Float) {
        barWidth = width;
        var g = background.graphics;
        g.clear();
        g.beginFill(0x000000, 0.65);
        g.drawRect(0, 0, width, HEIGHT);
        g.endFill();

        var right = withFullScreen ? width - BUTTON : width;
        time.width = TIME_WIDTH;
        time.x = right - TIME_WIDTH;
        track.x = BUTTON + 4;
        track.y = HEIGHT / 2 - 3;
        trackWidth = Math.max(0, time.x - track.x - 4);
        fullScreenButton.x = width - BUTTON;
        drawTrack(0, 0);
    }

    public function setPlaying(value:Bool) {
        if (playing != value) {
            playing = value;
            drawPlayButton();
        }
    }

    public function update(position:Float, duration:Float, loadedShare:Float) {
        var played = duration > 0 ? Math.min(1, position / duration) : 0;
        drawTrack(played, loadedShare);
        time.text = formatTime(position) + " / " + formatTime(duration);
    }

    public static function formatTime(seconds:Float):String {
        var whole = Std.int(Math.max(0, seconds));
        var minutes = Std.int(whole / 60);
        var rest = whole % 60;
        return minutes + ":" + (rest < 10 ? "0" : "") + rest;
    }

    function drawTrack(played:Float, loaded:Float) {
        var g = track.graphics;
        g.clear();
        // A taller transparent strip makes the thin track easy to hit.
        g.beginFill(0x000000, 0);
        g.drawRect(0, -8, trackWidth, 22);
        g.endFill();
        g.beginFill(0x555555);
        g.drawRect(0, 0, trackWidth, 6);
        g.endFill();
        g.beginFill(0x999999);
        g.drawRect(0, 0, trackWidth * Math.max(0, Math.min(1, loaded)), 6);
        g.endFill();
        var f = trackFill.graphics;
        f.clear();
        f.beginFill(0x3fa9f5);
        f.drawRect(0, 0, trackWidth * played, 6);
        f.endFill();
    }

    function drawPlayButton() {
        var g = playButton.graphics;
        g.clear();
        g.beginFill(0x000000, 0);
        g.drawRect(0, 0, BUTTON, HEIGHT);
        g.endFill();
        g.beginFill(0xffffff);
        if (playing) {
            g.drawRect(9, 8, 4, 12);
            g.drawRect(16, 8, 4, 12);
        } else {
            g.moveTo(10, 7);
            g.lineTo(21, 14);
            g.lineTo(10, 21);
            g.lineTo(10, 7);
        }
        g.endFill();
    }

    function drawFullScreenButton() {
        var g = fullScreenButton.graphics;
        g.clear();
        g.beginFill(0x000000, 0);
        g.drawRect(0, 0, BUTTON, HEIGHT);
        g.endFill();
        g.lineStyle(2, 0xffffff);
        // Four corners of a frame.
        g.moveTo(7, 11); g.lineTo(7, 7); g.lineTo(11, 7);
        g.moveTo(17, 7); g.lineTo(21, 7); g.lineTo(21, 11);
        g.moveTo(21, 17); g.lineTo(21, 21); g.lineTo(17, 21);
        g.moveTo(11, 21); g.lineTo(7, 21); g.lineTo(7, 17);
    }
}
