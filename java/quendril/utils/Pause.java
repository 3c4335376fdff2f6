package quendril.utils;

/** The wait between two tries of something that may succeed a moment later. */
final class Pause {

    private Pause() {
    }

    /** Sleeps for {@code millis}; an interrupt ends the wait early and stays set for the caller to see. */
    static void sleep(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
