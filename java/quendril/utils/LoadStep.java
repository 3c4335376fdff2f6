package quendril.utils;

/**
 * The step that hands a DLL to the JVM. The loader goes through it so that
 * its decisions can be exercised where the DLL itself cannot load.
 */
interface LoadStep {

    /** Loads the file at this absolute path, as {@link System#load(String)}. */
    void load(String absolutePath);

    /**
     * The JVM's own step. The calls stay in this package's code (no method
     * references) so that the JVM ties the library to the class loader of
     * {@link Vantrel}, whose native methods it serves.
     */
    LoadStep SYSTEM = new LoadStep() {
        @Override
        public void load(String absolutePath) {
            System.load(absolutePath);
        }
    };
}
