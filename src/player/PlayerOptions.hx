// What the page asks of the player, read from the flashVars of the object
// and embed tags. Anything missing or unreadable falls back to a quiet,
// usable player: no autoplay, controls on, no loop.
class PlayerOptions {
    public var src(default, null):String;
    public var poster(default, null):String;
    public var autoplay(default, null):Bool;
    public var controls(default, null):Bool;
    public var loop(default, null):Bool;
    public var fullScreenEnabled(default, null):Bool;
    public var posterOnEnd(default, null):Bool;

    public function new(vars:Dynamic) {
        src = text(vars, "src");
        poster = text(vars, "poster");
        autoplay = flag(vars, "autoplay", false);
        controls = flag(vars, "controls", true);
        loop = flag(vars, "loop", false);
        fullScreenEnabled = flag(vars, "fullScreenEnabled", controls);
        posterOnEnd = flag(vars, "posterOnEnd", false);
    }

    static function text(vars:Dynamic, name:String):String {
        var value:Dynamic = vars == null ? null : Reflect.field(vars, name);
        return value == null ? "" : StringTools.trim(Std.string(value));
    }

    static function flag(vars:Dynamic, name:String, fallback:Bool):Bool {
        var value = text(vars, name).toLowerCase();
        if (value == "true" || value == "1" || value == "yes")
            return true;
        if (value == "false" || value == "0" || value == "no")
            return false;
        return fallback;
    }
}
