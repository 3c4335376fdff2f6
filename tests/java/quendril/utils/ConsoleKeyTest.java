package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import quendril.utils.ConsoleKey.Key;
import quendril.utils.ConsoleKey.Modifier;

/** ConsoleKey against the codes getConsoleChar gives for each key; it never touches the native library. */
class ConsoleKeyTest {

    private static final Key[] F1_TO_F10 = {Key.F1, Key.F2, Key.F3, Key.F4, Key.F5, Key.F6, Key.F7, Key.F8,
        Key.F9, Key.F10};
    // Grey block (224) and keypad with Num Lock off (0).
    private static final Key[] CURSOR = {Key.HOME, Key.UP, Key.PAGE_UP, Key.LEFT, Key.RIGHT, Key.END, Key.DOWN,
        Key.PAGE_DOWN, Key.INSERT, Key.DELETE};
    private static final int[] PLAIN = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
    private static final int[] CTRL = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
    private static final int[] ALT = {151, 152, 153, 155, 157, 159, 160, 161, 162, 163};

    static Stream<Arguments> namedPairs() {
        List<Arguments> pairs = new ArrayList<>();
        for (int i = 0; i < F1_TO_F10.length; i++) {
            pairs.add(Arguments.of(0, 59 + i, F1_TO_F10[i], Modifier.NONE));
            pairs.add(Arguments.of(0, 84 + i, F1_TO_F10[i], Modifier.SHIFT));
            pairs.add(Arguments.of(0, 94 + i, F1_TO_F10[i], Modifier.CTRL));
            pairs.add(Arguments.of(0, 104 + i, F1_TO_F10[i], Modifier.ALT));
        }
        Modifier[] modifiers = Modifier.values();
        for (int m = 0; m < 4; m++) {
            pairs.add(Arguments.of(224, 133 + 2 * m, Key.F11, modifiers[m]));
            pairs.add(Arguments.of(224, 134 + 2 * m, Key.F12, modifiers[m]));
        }
        for (int i = 0; i < CURSOR.length; i++) {
            pairs.add(Arguments.of(0, PLAIN[i], CURSOR[i], Modifier.NONE));
            pairs.add(Arguments.of(224, PLAIN[i], CURSOR[i], Modifier.NONE));
            pairs.add(Arguments.of(0, CTRL[i], CURSOR[i], Modifier.CTRL));
            pairs.add(Arguments.of(0, ALT[i], CURSOR[i], Modifier.ALT));
            if (CURSOR[i] != Key.PAGE_UP) {
                pairs.add(Arguments.of(224, CTRL[i], CURSOR[i], Modifier.CTRL));
            }
        }
        return pairs.stream();
    }

    @ParameterizedTest(name = "{0}/{1} is {3} {2}")
    @MethodSource("namedPairs")
    void namesEachKeyByItsPair(int prefix, int code, Key key, Modifier modifier) {
        ConsoleKey found = ConsoleKey.of(prefix, code);
        assertSame(ConsoleKey.of(key, modifier), found);
        assertEquals(key, found.key());
        assertEquals(modifier, found.modifier());
    }

    static Stream<Arguments> unnamedPairs() {
        List<Arguments> pairs = new ArrayList<>();
        for (int i = 0; i < 10; i++) {
            pairs.add(Arguments.of(224, 59 + i));    // F1-F10 come only with prefix 0
            pairs.add(Arguments.of(224, ALT[i]));    // Alt cursor keys only with prefix 0
        }
        int[][] others = {
            {224, 132},       // Ctrl+Page Up comes only with prefix 0
            {0, 1}, {0, 30}, {0, 120}, {0, 15}, {0, 148}, {0, 3}, {0, 166}, {0, 133}, {0, 0},
            {13, 0},          // the keypad Enter's character and its trailing 0
            {97, 59}, {-1, 59}, {0, -1}, {0, 256}, {224, 256 + 72},
        };
        for (int[] pair : others) {
            pairs.add(Arguments.of(pair[0], pair[1]));
        }
        return pairs.stream();
    }

    @ParameterizedTest(name = "{0}/{1} names no key")
    @MethodSource("unnamedPairs")
    void namesNoKeyForOtherPairs(int prefix, int code) {
        assertNull(ConsoleKey.of(prefix, code));
    }

    @Test
    void namesExactlyTheListedPairs() {
        int named = 0;
        for (int prefix : new int[] {0, 224}) {
            for (int code = 0; code < 256; code++) {
                if (ConsoleKey.of(prefix, code) != null) {
                    named++;
                }
            }
        }
        assertEquals(namedPairs().count(), named);
    }

    @ParameterizedTest
    @CsvSource({"0, true", "224, true", "-1, false", "13, false", "97, false", "255, false"})
    void onlyZeroAnd224ArePrefixes(int result, boolean prefix) {
        assertEquals(prefix, ConsoleKey.isPrefix(result));
    }

    @ParameterizedTest
    @CsvSource({"0, 59, F1", "0, 88, Shift+F5", "0, 132, Ctrl+Page Up", "0, 161, Alt+Page Down", "224, 141, Ctrl+Up"})
    void readsAsTheKeyboardLabels(int prefix, int code, String text) {
        assertEquals(text, ConsoleKey.of(prefix, code).toString());
    }

    @Test
    void refusesANullKey() {
        assertThrows(NullPointerException.class, () -> ConsoleKey.of(null, Modifier.NONE));
    }
}
