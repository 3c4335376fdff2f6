package quendril.utils;

import quendril.utils.ConsoleKey.Key;
import quendril.utils.ConsoleKey.Modifier;

/**
 * Checks ConsoleKey against the codes getConsoleChar gives for each key.
 * Runs on any platform: it never touches the native library. Exits with 1
 * when a check fails.
 */
public final class ConsoleKeyTest {

    private static int failures;
    private static int checks;

    private ConsoleKeyTest() {
    }

    private static void check(boolean ok, String what) {
        checks++;
        if (!ok) {
            failures++;
            System.err.println("FAILED: " + what);
        }
    }

    private static void expect(int prefix, int code, Key key, Modifier modifier) {
        ConsoleKey found = ConsoleKey.of(prefix, code);
        check(found == ConsoleKey.of(key, modifier),
                prefix + "/" + code + " should be " + modifier + " " + key + ", is " + found);
    }

    private static void expectNone(int prefix, int code) {
        ConsoleKey found = ConsoleKey.of(prefix, code);
        check(found == null, prefix + "/" + code + " should name no key, names " + found);
    }

    public static void main(String[] args) {
        Key[] f = {Key.F1, Key.F2, Key.F3, Key.F4, Key.F5, Key.F6, Key.F7, Key.F8, Key.F9, Key.F10};
        for (int i = 0; i < 10; i++) {
            expect(0, 59 + i, f[i], Modifier.NONE);
            expect(0, 84 + i, f[i], Modifier.SHIFT);
            expect(0, 94 + i, f[i], Modifier.CTRL);
            expect(0, 104 + i, f[i], Modifier.ALT);
            expectNone(224, 59 + i);
        }
        expect(224, 133, Key.F11, Modifier.NONE);
        expect(224, 134, Key.F12, Modifier.NONE);
        expect(224, 135, Key.F11, Modifier.SHIFT);
        expect(224, 136, Key.F12, Modifier.SHIFT);
        expect(224, 137, Key.F11, Modifier.CTRL);
        expect(224, 138, Key.F12, Modifier.CTRL);
        expect(224, 139, Key.F11, Modifier.ALT);
        expect(224, 140, Key.F12, Modifier.ALT);

        // Grey block (224) and keypad with Num Lock off (0), plain.
        Key[] cursor = {Key.HOME, Key.UP, Key.PAGE_UP, Key.LEFT, Key.RIGHT,
            Key.END, Key.DOWN, Key.PAGE_DOWN, Key.INSERT, Key.DELETE};
        int[] plain = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
        int[] ctrlKeypad = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
        int[] alt = {151, 152, 153, 155, 157, 159, 160, 161, 162, 163};
        for (int i = 0; i < cursor.length; i++) {
            expect(0, plain[i], cursor[i], Modifier.NONE);
            expect(224, plain[i], cursor[i], Modifier.NONE);
            expect(0, ctrlKeypad[i], cursor[i], Modifier.CTRL);
            expect(0, alt[i], cursor[i], Modifier.ALT);
            expectNone(224, alt[i]);
        }
        expect(224, 119, Key.HOME, Modifier.CTRL);
        expect(224, 141, Key.UP, Modifier.CTRL);
        expect(224, 115, Key.LEFT, Modifier.CTRL);
        expect(224, 116, Key.RIGHT, Modifier.CTRL);
        expect(224, 117, Key.END, Modifier.CTRL);
        expect(224, 145, Key.DOWN, Modifier.CTRL);
        expect(224, 118, Key.PAGE_DOWN, Modifier.CTRL);
        expect(224, 146, Key.INSERT, Modifier.CTRL);
        expect(224, 147, Key.DELETE, Modifier.CTRL);
        expectNone(224, 132);

        // Extended codes of keys that have no name here, and pairs that are
        // no extended key at all.
        expectNone(0, 1);      // Alt+Esc
        expectNone(0, 30);     // Alt+A
        expectNone(0, 120);    // Alt+1
        expectNone(0, 15);     // Shift+Tab
        expectNone(0, 148);    // Ctrl+Tab
        expectNone(0, 3);      // Ctrl+2
        expectNone(0, 166);    // Alt with the keypad Enter
        expectNone(0, 133);
        expectNone(0, 0);
        expectNone(13, 0);     // the keypad Enter's character and its trailing 0
        expectNone(97, 59);
        expectNone(-1, 59);
        expectNone(0, -1);
        expectNone(0, 256);
        expectNone(224, 256 + 72);

        int named = 0;
        for (int prefix : new int[] {0, 224}) {
            for (int code = 0; code < 256; code++) {
                if (ConsoleKey.of(prefix, code) != null) {
                    named++;
                }
            }
        }
        // 0: 40 function-key pairs, 10 plain, 10 Ctrl and 10 Alt cursor pairs;
        // 224: 8 for F11 and F12, 10 plain and 9 Ctrl cursor pairs.
        check(named == 70 + 27, "named pairs: " + named);

        check(ConsoleKey.isPrefix(0) && ConsoleKey.isPrefix(224), "0 and 224 are prefixes");
        check(!ConsoleKey.isPrefix(-1) && !ConsoleKey.isPrefix(13) && !ConsoleKey.isPrefix(97)
                && !ConsoleKey.isPrefix(255), "other results are not");

        check("F1".equals(ConsoleKey.of(0, 59).toString()), "F1 text");
        check("Shift+F5".equals(ConsoleKey.of(0, 88).toString()), "Shift+F5 text");
        check("Ctrl+Page Up".equals(ConsoleKey.of(0, 132).toString()), "Ctrl+Page Up text");
        check("Alt+Page Down".equals(ConsoleKey.of(0, 161).toString()), "Alt+Page Down text");
        ConsoleKey ctrlUp = ConsoleKey.of(224, 141);
        check(ctrlUp.key() == Key.UP && ctrlUp.modifier() == Modifier.CTRL, "key() and modifier()");
        try {
            ConsoleKey.of(null, Modifier.NONE);
            check(false, "of(null, ...) throws");
        } catch (NullPointerException expected) {
            check(true, "of(null, ...) throws");
        }

        System.out.println("ConsoleKeyTest: " + checks + " checks, " + failures + " failed");
        if (failures != 0) {
            System.exit(1);
        }
    }
}
