package quendril.utils;

import java.io.PrintStream;
import java.util.Properties;

/**
 * {@code java -jar vantrel.jar}: says which DLL this JVM needs, whether it
 * loads and from where, and on success shows a few harmless readings. Exits
 * with 0 when the library is loaded, 1 with the reason otherwise. Add
 * {@code -Dquendril.vantrel.debug=true} to see each step of the loader.
 */
public final class VantrelDiagnostics {

    private VantrelDiagnostics() {
    }

    /**
     * Prints the report to standard output (the reason for a failure to
     * standard error) and exits.
     *
     * @param args not used
     */
    public static void main(String[] args) {
        System.exit(report(System.out, System.err));
    }

    static int report(PrintStream out, PrintStream err) {
        Properties properties = System.getProperties();
        Platform platform = Platform.of(properties);
        out.println("Vantrel " + LoaderNames.jarVersion());
        for (String key : new String[] {"java.version", "java.home", "os.name", "os.arch", "sun.arch.data.model"}) {
            line(out, key, properties.getProperty(key));
        }
        line(out, "DLL for this JVM", platform.isSupported() ? platform.resource().substring(1) + ", PE machine "
                + DllHeader.machineName(platform.machine()) : "none");
        if (!VantrelLibrary.isAvailable()) {
            line(out, "loaded", "no");
            err.println(VantrelLibrary.unavailabilityCause().getMessage());
            return 1;
        }
        line(out, "loaded from", VantrelLibrary.location());
        line(out, "working directory", Vantrel.getCurrentDirectory());
        String[] drives = Vantrel.getLogicalDrives();
        line(out, "drives", drives == null ? "(cannot be read)" : String.join(" ", drives));
        line(out, "common application data", Vantrel.getSHFolderPath(Vantrel.CSIDL_COMMON_APPDATA));
        return 0;
    }

    private static void line(PrintStream out, String what, String value) {
        out.printf("  %-24s %s%n", what, value);
    }
}
