package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import org.junit.jupiter.api.Test;

/** Asking before calling, on a JVM the library cannot serve. */
class VantrelLibraryTest {

    @Test
    void everyWayOfAskingGivesTheSameReason() {
        assumeFalse(System.getProperty("os.name").startsWith("Windows"), "the library loads on Windows");

        assertFalse(VantrelLibrary.isAvailable());
        UnsatisfiedLinkError cause = VantrelLibrary.unavailabilityCause();
        assertEquals("Cannot load Vantrel.dll: no DLL in this jar serves this JVM (not Windows): os.name="
                + System.getProperty("os.name"), cause.getMessage().substring(0, cause.getMessage().indexOf(',')));
        assertSame(cause, VantrelLibrary.unavailabilityCause(), "loading is tried once");
        assertNull(VantrelLibrary.location());

        UnsatisfiedLinkError thrown = assertThrows(UnsatisfiedLinkError.class, VantrelLibrary::ensureAvailable);
        assertEquals(cause.getMessage(), thrown.getMessage());
        assertSame(cause, thrown.getCause());

        UnsatisfiedLinkError first = assertThrows(UnsatisfiedLinkError.class, Vantrel::getCurrentDirectory);
        assertEquals(cause.getMessage(), first.getMessage(), "the class initialiser says the same");
        assertThrows(NoClassDefFoundError.class, Vantrel::getCurrentDirectory);
    }

    @Test
    void anyThrowableWhileLoadingLeavesTheLibraryUnavailableForThatReason() {
        OutOfMemoryError thrown = new OutOfMemoryError("while reading the DLL");
        int[] attempts = {0};
        LoadOnce once = new LoadOnce(() -> {
            attempts[0]++;
            throw thrown;
        });
        assertSame(thrown, once.cause().getCause());
        assertTrue(once.cause().getMessage().contains("while reading the DLL"));
        assertNull(once.location());
        assertEquals(1, attempts[0], "the attempt is made once");
    }
}
