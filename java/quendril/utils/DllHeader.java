package quendril.utils;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;

/**
 * Reads what a DLL states about itself, from its bytes alone: the machine
 * field of its PE header and the file version of its version record
 * ({@code VS_FIXEDFILEINFO} in the {@code RT_VERSION} resource). Every
 * offset is bounds-checked, so any file can be handed over.
 */
final class DllHeader {

    private static final int MZ = 0x5A4D;
    private static final int PE_SIGNATURE = 0x00004550;
    private static final int PE32 = 0x10B;
    private static final int PE32_PLUS = 0x20B;
    private static final int RESOURCE_DIRECTORY = 2;
    private static final int SECTION_SIZE = 40;
    private static final int RT_VERSION = 16;
    private static final int HIGH_BIT = 0x80000000;
    private static final String VERSION_KEY = "VS_VERSION_INFO";
    private static final int FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD;

    private DllHeader() {
    }

    /**
     * Whether {@code file} is a DLL for this JVM and this jar.
     *
     * @return null when its machine is {@code machine} and its version
     *         record states {@code version}; otherwise what was found and
     *         what was expected
     */
    static String mismatch(byte[] file, int machine, String version) {
        ByteBuffer bytes = ByteBuffer.wrap(file).order(ByteOrder.LITTLE_ENDIAN);
        try {
            if (file.length < 0x40 || (bytes.getShort(0) & 0xFFFF) != MZ) {
                return "not a PE file (no MZ header), expected a DLL for " + machineName(machine);
            }
            int pe = bytes.getInt(0x3C);
            if (bytes.getInt(pe) != PE_SIGNATURE) {
                return "not a PE file (no PE signature), expected a DLL for " + machineName(machine);
            }
            int found = bytes.getShort(pe + 4) & 0xFFFF;
            if (found != machine) {
                return "PE machine " + machineName(found) + ", expected " + machineName(machine) + " for this JVM";
            }
            String stated = versionRecord(bytes, pe);
            if (stated == null) {
                return "no version record, expected version " + version;
            }
            return stated.equals(version) ? null : "version record " + stated + ", expected " + version;
        } catch (IndexOutOfBoundsException e) {
            return "a damaged PE file (a header points past its end), expected a DLL for " + machineName(machine);
        }
    }

    static String machineName(int machine) {
        String name = machine == Platform.MACHINE_X86 ? "x86"
                : machine == Platform.MACHINE_X86_64 ? "x86-64"
                : machine == Platform.MACHINE_AARCH64 ? "ARM64" : "unknown";
        return "0x" + Integer.toHexString(machine).toUpperCase(java.util.Locale.ROOT) + " (" + name + ")";
    }

    /** The file version of the version record as "a.b.c.d", or null when there is none. */
    private static String versionRecord(ByteBuffer bytes, int pe) {
        int sections = bytes.getShort(pe + 6) & 0xFFFF;
        int optional = pe + 24;
        int sectionTable = optional + (bytes.getShort(pe + 20) & 0xFFFF);
        int magic = bytes.getShort(optional) & 0xFFFF;
        int directories = magic == PE32_PLUS ? optional + 112 : magic == PE32 ? optional + 96 : -1;
        if (directories < 0 || bytes.getInt(directories - 4) <= RESOURCE_DIRECTORY) {
            return null;
        }
        int resources = fileOffset(bytes, sectionTable, sections, bytes.getInt(directories + 8 * RESOURCE_DIRECTORY));
        if (resources < 0) {
            return null;
        }
        // Three levels: type, name, language; the first name and language serve.
        int names = entry(bytes, resources, resources, RT_VERSION);
        int languages = names < 0 ? -1 : entry(bytes, resources, names, -1);
        int leaf = languages < 0 ? -1 : entry(bytes, resources, languages, -1);
        if (leaf < 0) {
            return null;
        }
        int info = fileOffset(bytes, sectionTable, sections, bytes.getInt(leaf));
        if (info < 0) {
            return null;
        }
        for (int i = 0; i < VERSION_KEY.length(); i++) {
            if (bytes.getChar(info + 6 + 2 * i) != VERSION_KEY.charAt(i)) {
                return null;
            }
        }
        // The key's terminating NUL, then padding to a 4-byte boundary.
        int fixed = info + ((6 + 2 * (VERSION_KEY.length() + 1) + 3) & ~3);
        if (bytes.getInt(fixed) != FIXED_FILE_INFO_SIGNATURE) {
            return null;
        }
        int high = bytes.getInt(fixed + 8);
        int low = bytes.getInt(fixed + 12);
        return (high >>> 16) + "." + (high & 0xFFFF) + "." + (low >>> 16) + "." + (low & 0xFFFF);
    }

    /**
     * In the resource directory at {@code directory}, the entry with the
     * numeric id {@code id} (any entry when {@code id} is -1): the offset of
     * what it points to (a subdirectory or a data entry), or -1.
     */
    private static int entry(ByteBuffer bytes, int resources, int directory, int id) {
        int count = (bytes.getShort(directory + 12) & 0xFFFF) + (bytes.getShort(directory + 14) & 0xFFFF);
        for (int i = 0; i < count; i++) {
            int at = directory + 16 + 8 * i;
            int name = bytes.getInt(at);
            if (id == -1 || ((name & HIGH_BIT) == 0 && name == id)) {
                return resources + (bytes.getInt(at + 4) & ~HIGH_BIT);
            }
        }
        return -1;
    }

    /** The file offset of the relative virtual address {@code rva}, or -1 when no section holds it. */
    private static int fileOffset(ByteBuffer bytes, int table, int sections, int rva) {
        long address = rva & 0xFFFFFFFFL;
        for (int i = 0; i < sections; i++) {
            int section = table + SECTION_SIZE * i;
            long start = bytes.getInt(section + 12) & 0xFFFFFFFFL;
            long size = Math.max(bytes.getInt(section + 8) & 0xFFFFFFFFL, bytes.getInt(section + 16) & 0xFFFFFFFFL);
            if (address >= start && address < start + size) {
                long offset = (bytes.getInt(section + 20) & 0xFFFFFFFFL) + address - start;
                return offset > Integer.MAX_VALUE ? -1 : (int) offset;
            }
        }
        return -1;
    }
}
