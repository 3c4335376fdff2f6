/**
 * Windows services that the JDK lacks, for 32-bit and 64-bit x86 Windows
 * JVMs, Java 8 and later.
 *
 * <p>{@link quendril.utils.Vantrel} holds the services as static methods:
 * console keys, drives and volumes, the working directory, top-level windows
 * and their system menus, the open, save and folder dialogs, the shell's
 * folder browser, special folders and the network adapter address. Its
 * class comment gives the rules every method follows: results instead of
 * exceptions, text as bytes, window handles as {@code int}, which methods
 * block and on which threads they may run.
 * {@link quendril.utils.ConsoleKey} names the extended keys that
 * {@code getConsoleChar} reports in two calls.
 *
 * <p>{@link quendril.utils.VantrelLibrary} tells whether the native library
 * can be loaded and why not, without throwing; it also describes where the
 * library is loaded from and the system properties that change it.
 * {@code java -jar vantrel.jar} prints the same diagnosis.
 */
package quendril.utils;
