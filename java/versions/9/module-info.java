/**
 * Windows services that the JDK lacks, for 32-bit and 64-bit x86 Windows
 * JVMs: the class {@link quendril.utils.Vantrel} and its loader. The module
 * needs nothing beyond {@code java.base}.
 *
 * <p>On Java 24 and later, an application that has this module on the module
 * path enables native access for it with
 * {@code --enable-native-access=quendril.utils}.
 */
module quendril.utils {
    exports quendril.utils;
}
