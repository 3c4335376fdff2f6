package quendril.utils;

/**
 * A named extended key as {@link Vantrel#getConsoleChar()} reports it: a
 * function key (F1 to F12) or a cursor key (the arrows, Home, End, Page Up,
 * Page Down, Insert, Delete), with the modifier that was held.
 *
 * <p>{@code getConsoleChar} gives an ordinary character in one call and an
 * extended key in two: first a prefix, 0 or 224, then the key's code.
 * {@link #of(int, int)} turns such a pair into a {@code ConsoleKey}, so that
 * a caller need not know the codes. A key loop:
 *
 * <pre>{@code
 * for (;;) {
 *     int c = Vantrel.getConsoleChar();
 *     if (c == -1) {
 *         break;                                // the process has no console input
 *     }
 *     if (ConsoleKey.isPrefix(c)) {
 *         int code = Vantrel.getConsoleChar();  // the second half is always there
 *         ConsoleKey key = ConsoleKey.of(c, code);
 *         if (key == ConsoleKey.of(ConsoleKey.Key.F10, ConsoleKey.Modifier.NONE)) {
 *             break;
 *         }
 *         if (key != null) {
 *             System.out.println(key);          // for example "Ctrl+Up" or "Shift+F5"
 *         }                                     // null: an unnamed one, such as Alt+A
 *     } else {
 *         System.out.println("character " + c); // a byte of the console's code page
 *     }
 * }
 * }</pre>
 *
 * <p>What the codes can and cannot tell apart:
 * <ul>
 * <li>Shift does not change the codes of the cursor keys, so Shift+Up reads
 * as Up; only the function keys have Shift forms.</li>
 * <li>The cursor keys of the grey block and those of the keypad with Num
 * Lock off read alike, except that only the grey block has Alt forms.</li>
 * <li>Ctrl with the grey Page Up sends the same pair as F12 (224, 134), and
 * so reads as F12; Ctrl with the keypad's Page Up reads as Ctrl+Page Up.</li>
 * <li>A character whose byte in the console's code page is 224 arrives as
 * 224 and cannot be told from the prefix; {@link #isPrefix(int)} takes it
 * for a prefix.</li>
 * </ul>
 *
 * <p>There is one instance for each key and modifier, so instances compare
 * with {@code ==}. This class only interprets codes: it never reads the
 * console and does not load the native library.
 */
public final class ConsoleKey {

    /** The named keys. */
    public enum Key {
        /** F1. */ F1("F1"),
        /** F2. */ F2("F2"),
        /** F3. */ F3("F3"),
        /** F4. */ F4("F4"),
        /** F5. */ F5("F5"),
        /** F6. */ F6("F6"),
        /** F7. */ F7("F7"),
        /** F8. */ F8("F8"),
        /** F9. */ F9("F9"),
        /** F10. */ F10("F10"),
        /** F11. */ F11("F11"),
        /** F12. */ F12("F12"),
        /** Cursor up. */ UP("Up"),
        /** Cursor down. */ DOWN("Down"),
        /** Cursor left. */ LEFT("Left"),
        /** Cursor right. */ RIGHT("Right"),
        /** Home. */ HOME("Home"),
        /** End. */ END("End"),
        /** Page Up. */ PAGE_UP("Page Up"),
        /** Page Down. */ PAGE_DOWN("Page Down"),
        /** Insert. */ INSERT("Insert"),
        /** Delete. */ DELETE("Delete");

        private final String label;

        Key(String label) {
            this.label = label;
        }

        /** The key's name as printed on the keyboard, for example "Page Up". */
        @Override
        public String toString() {
            return label;
        }
    }

    /**
     * The modifier held with the key. Only one counts: Alt before Ctrl,
     * Ctrl before Shift.
     */
    public enum Modifier {
        /** No modifier. */ NONE(""),
        /** Shift. */ SHIFT("Shift+"),
        /** Ctrl. */ CTRL("Ctrl+"),
        /** Alt. */ ALT("Alt+");

        private final String label;

        Modifier(String label) {
            this.label = label;
        }
    }

    /** The prefix of the function keys and of the keypad's cursor keys. */
    public static final int PREFIX = 0;
    /** The prefix of F11, F12 and the grey cursor keys. */
    public static final int EXTENDED_PREFIX = 224;

    private static final int CODES = 256;
    private static final ConsoleKey[][] INSTANCES =
            new ConsoleKey[Key.values().length][Modifier.values().length];
    private static final ConsoleKey[] AFTER_PREFIX = new ConsoleKey[CODES];
    private static final ConsoleKey[] AFTER_EXTENDED_PREFIX = new ConsoleKey[CODES];

    static {
        for (Key key : Key.values()) {
            for (Modifier modifier : Modifier.values()) {
                INSTANCES[key.ordinal()][modifier.ordinal()] = new ConsoleKey(key, modifier);
            }
        }
        Key[] tenFunctionKeys = {
            Key.F1, Key.F2, Key.F3, Key.F4, Key.F5, Key.F6, Key.F7, Key.F8, Key.F9, Key.F10,
        };
        for (int i = 0; i < tenFunctionKeys.length; i++) {
            name(AFTER_PREFIX, 59 + i, tenFunctionKeys[i], Modifier.NONE);
            name(AFTER_PREFIX, 84 + i, tenFunctionKeys[i], Modifier.SHIFT);
            name(AFTER_PREFIX, 94 + i, tenFunctionKeys[i], Modifier.CTRL);
            name(AFTER_PREFIX, 104 + i, tenFunctionKeys[i], Modifier.ALT);
        }
        Modifier[] modifiers = Modifier.values();
        for (int i = 0; i < modifiers.length; i++) {
            name(AFTER_EXTENDED_PREFIX, 133 + 2 * i, Key.F11, modifiers[i]);
            name(AFTER_EXTENDED_PREFIX, 134 + 2 * i, Key.F12, modifiers[i]);
        }
        Key[] cursorKeys = {
            Key.HOME, Key.UP, Key.PAGE_UP, Key.LEFT, Key.RIGHT,
            Key.END, Key.DOWN, Key.PAGE_DOWN, Key.INSERT, Key.DELETE,
        };
        int[] plain = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
        int[] ctrlKeypad = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
        int[] ctrlGrey = {119, 141, 134, 115, 116, 117, 145, 118, 146, 147};
        int[] altGrey = {151, 152, 153, 155, 157, 159, 160, 161, 162, 163};
        for (int i = 0; i < cursorKeys.length; i++) {
            name(AFTER_PREFIX, plain[i], cursorKeys[i], Modifier.NONE);
            name(AFTER_EXTENDED_PREFIX, plain[i], cursorKeys[i], Modifier.NONE);
            name(AFTER_PREFIX, ctrlKeypad[i], cursorKeys[i], Modifier.CTRL);
            if (AFTER_EXTENDED_PREFIX[ctrlGrey[i]] == null) {  // 134 is F12's already
                name(AFTER_EXTENDED_PREFIX, ctrlGrey[i], cursorKeys[i], Modifier.CTRL);
            }
            name(AFTER_PREFIX, altGrey[i], cursorKeys[i], Modifier.ALT);
        }
    }

    private static void name(ConsoleKey[] codes, int code, Key key, Modifier modifier) {
        if (codes[code] != null) {
            throw new AssertionError("code " + code + " named twice");
        }
        codes[code] = of(key, modifier);
    }

    private final Key key;
    private final Modifier modifier;

    private ConsoleKey(Key key, Modifier modifier) {
        this.key = key;
        this.modifier = modifier;
    }

    /**
     * Whether a result of {@code getConsoleChar} is the first half of an
     * extended key, so that the next call gives its code.
     *
     * @param c a result of {@code getConsoleChar}
     * @return true for 0 and 224
     */
    public static boolean isPrefix(int c) {
        return c == PREFIX || c == EXTENDED_PREFIX;
    }

    /**
     * The named key of a prefix and code from two calls of
     * {@code getConsoleChar}.
     *
     * @param prefix the first result, 0 or 224
     * @param code the second result
     * @return the key, or null when the pair names none of the keys here
     *         (for example Alt with a letter, Shift+Tab) or is no extended key
     */
    public static ConsoleKey of(int prefix, int code) {
        if (code < 0 || code >= CODES) {
            return null;
        }
        switch (prefix) {
            case PREFIX:
                return AFTER_PREFIX[code];
            case EXTENDED_PREFIX:
                return AFTER_EXTENDED_PREFIX[code];
            default:
                return null;
        }
    }

    /**
     * The instance for a key and modifier, to compare results with.
     *
     * @param key the key
     * @param modifier the modifier held
     * @return the one instance for that key and modifier
     * @throws NullPointerException if either argument is null
     */
    public static ConsoleKey of(Key key, Modifier modifier) {
        return INSTANCES[key.ordinal()][modifier.ordinal()];
    }

    /** @return the key */
    public Key key() {
        return key;
    }

    /** @return the modifier held with it */
    public Modifier modifier() {
        return modifier;
    }

    /** The key with its modifier, for example "F1", "Shift+F5", "Ctrl+Page Up". */
    @Override
    public String toString() {
        return modifier.label + key.label;
    }
}
