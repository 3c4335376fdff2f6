package quendril.utils;

import java.io.PrintStream;

/** The loader's step-by-step report, printed only when {@code quendril.vantrel.debug=true}. */
final class DebugLog {

    private final PrintStream out;

    /** A log that prints to {@code out}, or prints nothing when {@code out} is null. */
    DebugLog(PrintStream out) {
        this.out = out;
    }

    void say(String line) {
        if (out != null) {
            out.println("[vantrel] " + line);
        }
    }
}
