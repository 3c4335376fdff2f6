package quendril.utils;

import java.util.Locale;
import java.util.Properties;

/**
 * Which of the jar's DLLs serves the running JVM, decided from its system
 * properties alone, before anything is written.
 */
final class Platform {

    /** The platforms the jar carries a DLL for, as named in its resource folders. */
    static final String X86 = "win32-x86";
    static final String X86_64 = "win32-x86-64";
    static final String AARCH64 = "win32-aarch64";
    static final String SUPPORTED = "Windows on x86 (32-bit JVM, " + X86 + "), on x86-64 (64-bit JVM, "
            + X86_64 + ") and on ARM64 (64-bit JVM, " + AARCH64 + ")";

    /** The PE machine field of each folder's DLL. */
    static final int MACHINE_X86 = 0x014C;
    static final int MACHINE_X86_64 = 0x8664;
    static final int MACHINE_AARCH64 = 0xAA64;

    private final String osName;
    private final String osArch;
    private final String dataModel;
    private final String javaHome;
    private final String folder;
    private final int machine;
    private final String refusal;

    private Platform(String osName, String osArch, String dataModel, String javaHome) {
        this.osName = osName;
        this.osArch = osArch;
        this.dataModel = dataModel;
        this.javaHome = javaHome;
        String arch = osArch == null ? "" : osArch.toLowerCase(Locale.ROOT);
        String bits = null;
        String chosen = null;
        int chosenMachine = 0;
        if (arch.equals("x86") || arch.equals("i386") || arch.equals("i686")) {
            chosen = X86;
            chosenMachine = MACHINE_X86;
            bits = "32";
        } else if (arch.equals("amd64") || arch.equals("x86_64")) {
            chosen = X86_64;
            chosenMachine = MACHINE_X86_64;
            bits = "64";
        } else if (arch.equals("aarch64") || arch.equals("arm64")) {
            chosen = AARCH64;
            chosenMachine = MACHINE_AARCH64;
            bits = "64";
        }
        if (osName == null || !osName.startsWith("Windows")) {
            refusal = "not Windows";
            chosen = null;
        } else if (chosen == null) {
            refusal = "not an x86, x86-64 or ARM64 JVM";
        } else if (("32".equals(dataModel) || "64".equals(dataModel)) && !bits.equals(dataModel)) {
            refusal = "os.arch and the " + dataModel + "-bit data model disagree";
            chosen = null;
        } else {
            refusal = null;
        }
        this.folder = chosen;
        this.machine = chosen == null ? 0 : chosenMachine;
    }

    /** The decision for a JVM with these system properties. */
    static Platform of(Properties properties) {
        return new Platform(properties.getProperty("os.name"), properties.getProperty("os.arch"),
                properties.getProperty("sun.arch.data.model"), properties.getProperty("java.home"));
    }

    /** The jar's folder for this JVM ({@code win32-x86}, {@code win32-x86-64} or {@code win32-aarch64}), or null. */
    String folder() {
        return folder;
    }

    boolean isSupported() {
        return folder != null;
    }

    /** The jar resource of the DLL for this JVM; only for a supported platform. */
    String resource() {
        return "/quendril/utils/" + folder + "/" + LoaderNames.FILE_NAME;
    }

    /** The DLL beside the jar for this JVM, relative to the jar's folder; only for a supported platform. */
    String besideJar() {
        return folder + "/" + LoaderNames.FILE_NAME;
    }

    /** The PE machine this JVM's DLL must state; only for a supported platform. */
    int machine() {
        return machine;
    }

    /** What was seen, for messages and the debug output. */
    String describe() {
        return "os.name=" + osName + ", os.arch=" + osArch + ", sun.arch.data.model=" + dataModel + ", java.home="
                + javaHome;
    }

    /** Why no DLL of the jar serves this JVM, naming what was seen; only for an unsupported platform. */
    String refusal() {
        return "no DLL in this jar serves this JVM (" + refusal + "): " + describe() + "; supported: " + SUPPORTED;
    }
}
