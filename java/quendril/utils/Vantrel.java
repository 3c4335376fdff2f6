package quendril.utils;

/**
 * Windows services that the JDK lacks, implemented in {@code Vantrel.dll}
 * (for 32-bit and 64-bit x86 Windows JVMs): console keys, drives and
 * volumes, the working directory, top-level windows and their system menus,
 * the open, save and folder dialogs, the shell's folder browser, special
 * folders and the network adapter address.
 *
 * <p>No method throws: every failure is reported by the method's result, as
 * its documentation says. Strings cross the native boundary as bytes without
 * conversion, so text in 7-bit ASCII is exact; other characters reach Windows
 * as their modified UTF-8 bytes and come back as the bytes of the ANSI code
 * page.
 *
 * <p>Window handles are carried as {@code int}; 0 means no window. In a
 * 32-bit JVM they cross bit for bit. 64-bit Windows gives window handles
 * only 32 significant bits, so that 32- and 64-bit programs can share them:
 * the library widens an {@code int} by sign extension, as Windows does, and
 * returns a handle's low 32 bits.
 *
 * <h2>Threads</h2>
 *
 * <p>Every call runs on the calling thread, and any thread may call any
 * method, any number at once: the library keeps no data of its own but the
 * console reader's pending key, and takes no lock but the console's.
 * <ul>
 * <li><b>Blocking until the user answers:</b>
 * {@link #getOpenSaveFileName getOpenSaveFileName} and
 * {@link #SHBrowseForFolder(int) SHBrowseForFolder} run the platform's modal
 * dialog, and its message loop, on the calling thread and return when the
 * user closes it; {@link #getConsoleChar()} waits for a key press. On the
 * event dispatch thread the two dialogs work, but Swing and AWT then handle
 * no events and repaint nothing until the dialog closes; called from another
 * thread they leave the application painting. {@code getConsoleChar} does
 * not belong on the event dispatch thread at all.</li>
 * <li><b>Waiting for a window's thread:</b> the show commands
 * ({@link #setWindowMinimized}, {@link #setWindowMaximized},
 * {@link #setWindowRestored}) and {@link #setWindowAlwaysOnTop} on a window
 * of another thread wait until that thread has handled them, so it must be
 * dispatching messages. The windows of AWT and Swing belong to AWT's own
 * toolkit thread, which always dispatches them: these calls may run on the
 * event dispatch thread.</li>
 * <li><b>Waiting for no one:</b> every other method returns as soon as its
 * platform call does (a drive query on a network or removable drive may
 * take a moment); all may run on the event dispatch thread.</li>
 * <li><b>COM:</b> the folder browser needs a thread initialised for COM as a
 * single-threaded apartment. {@code SHBrowseForFolder} initialises the
 * calling thread so on every call and leaves it so; on a thread that other
 * code has already initialised for the multithreaded apartment the browser
 * fails and the method returns its error text. No other method needs or
 * touches COM.</li>
 * <li><b>Per thread:</b> {@link #getActiveWindow()} answers for the calling
 * thread's own windows only; the working directory and everything the
 * setters change are the whole process's.</li>
 * </ul>
 *
 * <h2>Native access on Java 24 and later</h2>
 *
 * <p>Loading the library is a restricted operation: from Java 24 on the JVM
 * prints a warning when it happens unless native access is enabled for the
 * code that loads it. {@code java -jar vantrel.jar} is quiet, as the jar's
 * manifest enables it. An application with the jar on the class path passes
 * {@code --enable-native-access=ALL-UNNAMED} (or puts
 * {@code Enable-Native-Access: ALL-UNNAMED} into its own executable jar's
 * manifest); one with the jar on the module path passes
 * {@code --enable-native-access=quendril.utils}.
 *
 * <p>The library is loaded when this class is first used; if that fails, the
 * use throws an {@link UnsatisfiedLinkError} that names every attempt, and
 * every later use a {@link NoClassDefFoundError}. {@link VantrelLibrary}
 * tells beforehand whether the library can be loaded, and explains the
 * loading order and its settings.
 */
public final class Vantrel {

    /** The library's version, also the version of {@code Vantrel.dll}. */
    public static final String VERSION = VantrelVersion.TEXT;

    static {
        VantrelLibrary.ensureAvailable();
    }

    private Vantrel() {
    }

    // ---------------------------------------------------------------------
    // Console

    /**
     * Reads one key press from the process's console, without echo and
     * without waiting for Enter.
     *
     * <p>{@link ConsoleKey#of(int, int)} names the keys that arrive in two
     * calls.
     *
     * <p>Threads: blocks the calling thread until a key is pressed; not for
     * the event dispatch thread. Calls are serialised process-wide, the wait
     * included: a second caller waits until the first has its key, then for
     * a key of its own. The code that follows a prefix is returned by the
     * next call on whichever thread makes it.
     *
     * @return an ordinary character as its byte value (0 to 255); for a
     *         function, cursor or other extended key first the prefix 0 or
     *         224 and, at the next call, the key's code; -1 when the process
     *         has no console input that can be read
     * @see ConsoleKey
     */
    public static native int getConsoleChar();

    // ---------------------------------------------------------------------
    // Drives and volumes

    /** Drive type: the type cannot be determined. */
    public static final int DRIVE_UNKNOWN = 0;
    /** Drive type: the root path is invalid, for example no volume is mounted there. */
    public static final int DRIVE_NO_ROOT_DIR = 1;
    /** Drive type: removable medium. */
    public static final int DRIVE_REMOVABLE = 2;
    /** Drive type: fixed disk. */
    public static final int DRIVE_FIXED = 3;
    /** Drive type: network drive. */
    public static final int DRIVE_REMOTE = 4;
    /** Drive type: optical drive. */
    public static final int DRIVE_CDROM = 5;
    /** Drive type: RAM disk. */
    public static final int DRIVE_RAMDISK = 6;

    /**
     * Lists the roots of the machine's drives.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @return the roots in the platform's order, each a letter, ':' and '\'
     *         (for example {@code C:\}); null when the list cannot be read
     */
    public static native String[] getLogicalDrives();

    /**
     * Reads the free space of a drive.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @param root a drive root such as {@code C:\}
     * @return the free bytes available to the caller; 0 when the drive cannot
     *         be read (the same as a full disk) or {@code root} is null
     */
    public static native long getFreeDiskSpace(String root);

    /**
     * Reads the kind of a drive.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @param root a drive root such as {@code C:\}
     * @return one of the {@code DRIVE_} constants, as the platform answers it;
     *         {@link #DRIVE_NO_ROOT_DIR} for a root that names no volume,
     *         {@link #DRIVE_UNKNOWN} for a null {@code root}
     */
    public static native int getDriveType(String root);

    /**
     * Reads a volume's label.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @param root a drive root such as {@code C:\}
     * @return the label; the empty string when the volume has none, cannot be
     *         read or {@code root} is null
     */
    public static native String getVolumeLabel(String root);

    /**
     * Changes a volume's label.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @param root a drive root such as {@code C:\}
     * @param label the new label; the empty string removes it
     * @return true when the platform changed it; false when it refused, or an
     *         argument is null
     */
    public static native boolean setVolumeLabel(String root, String label);

    /**
     * Reads a volume's serial number.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers, which for a network or removable drive may
     * take a moment.
     *
     * @param root a drive root such as {@code C:\}
     * @return the number as nine characters, the high and low 16 bits each as
     *         four upper-case hexadecimal digits joined by '-' (for example
     *         {@code 1A2B-3C4D}); {@code 0000-0000} when it cannot be read or
     *         {@code root} is null
     */
    public static native String getVolumeSerialNumber(String root);

    // ---------------------------------------------------------------------
    // Working directory

    /**
     * Reads the process's working directory.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @return the directory as the platform writes it; the empty string when
     *         it cannot be read or needs more than 259 characters
     */
    public static native String getCurrentDirectory();

    /**
     * Changes the working directory of the whole process. Java itself keeps
     * resolving relative {@code File} paths against {@code user.dir}, which
     * this does not change.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once. Every thread of the process sees the new directory at once.
     *
     * @param path the new directory, absolute or relative to the current one
     * @return true on success; false when the directory does not exist or
     *         {@code path} is null, and the directory is then unchanged
     */
    public static native boolean setCurrentDirectory(String path);

    // ---------------------------------------------------------------------
    // Windows

    /**
     * Finds a top-level window by its exact title (the platform ignores
     * case).
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param title the whole title
     * @return the window's handle; 0 when no top-level window has that title
     *         or {@code title} is null
     */
    public static native int getHwnd(String title);

    /**
     * Tells which window is active among the calling thread's own windows.
     *
     * <p>Threads: any thread; returns at once. The answer is about the
     * calling thread only: a window of another thread does not count, even
     * when it is active. The windows of AWT and Swing belong to AWT's
     * toolkit thread, so on the event dispatch thread, as on any other Java
     * thread, this gives 0 for them; {@link #getForegroundWindow()} and
     * {@link #getHwnd(String)} find them.
     *
     * @return the active window of the calling thread's message queue; 0 when
     *         it has none
     */
    public static native int getActiveWindow();

    /**
     * Tells which window the user is working with: the foreground window, of
     * whichever thread or program.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @return the foreground window; 0 when there is none (for example while
     *         the foreground is changing)
     */
    public static native int getForegroundWindow();

    /**
     * Minimises a window, as its system menu's Minimize would.
     *
     * <p>Threads: waits until the window's thread has handled the command,
     * so that thread must be dispatching messages; a window of the calling
     * thread is handled within the call. May run on the event dispatch
     * thread: the windows of AWT and Swing belong to AWT's toolkit thread.
     *
     * @param window a window handle
     * @return the window's answer to the command; 0 also when the handle
     *         names no window
     */
    public static native int setWindowMinimized(int window);

    /**
     * Maximises a window, as its system menu's Maximize would.
     *
     * <p>Threads: waits until the window's thread has handled the command,
     * so that thread must be dispatching messages; a window of the calling
     * thread is handled within the call. May run on the event dispatch
     * thread: the windows of AWT and Swing belong to AWT's toolkit thread.
     *
     * @param window a window handle
     * @return the window's answer to the command; 0 also when the handle
     *         names no window
     */
    public static native int setWindowMaximized(int window);

    /**
     * Restores a minimised or maximised window, as its system menu's Restore
     * would.
     *
     * <p>Threads: waits until the window's thread has handled the command,
     * so that thread must be dispatching messages; a window of the calling
     * thread is handled within the call. May run on the event dispatch
     * thread: the windows of AWT and Swing belong to AWT's toolkit thread.
     *
     * @param window a window handle
     * @return the window's answer to the command; 0 also when the handle
     *         names no window
     */
    public static native int setWindowRestored(int window);

    /**
     * Puts a window into the topmost group or takes it out, and activates it.
     *
     * <p>Threads: for a window of another thread, waits until that thread
     * has handled the change, so it must be dispatching messages. May run on
     * the event dispatch thread: the windows of AWT and Swing belong to AWT's
     * toolkit thread.
     *
     * @param window a window handle
     * @param onTop true to keep it above all non-topmost windows
     * @return non-zero on success, 0 on failure
     */
    public static native int setWindowAlwaysOnTop(int window, boolean onTop);

    /**
     * Rewrites entry 0 of the window's system menu as "&amp;Restore", greyed or
     * enabled. The entry's command becomes 0, so choosing it does nothing.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param window a window handle
     * @param enabled false greys the entry
     * @return non-zero on success, 0 when the window or entry does not exist
     */
    public static native int setWindowRestoreEnabled(int window, boolean enabled);

    /**
     * Rewrites entry 1 of the window's system menu as "&amp;Move", greyed or
     * enabled. The entry's command becomes 0.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param window a window handle
     * @param enabled false greys the entry
     * @return non-zero on success, 0 when the window or entry does not exist
     */
    public static native int setWindowMoveEnabled(int window, boolean enabled);

    /**
     * Rewrites entry 2 of the window's system menu as "&amp;Size", greyed or
     * enabled. The entry's command becomes 0.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param window a window handle
     * @param enabled false greys the entry
     * @return non-zero on success, 0 when the window or entry does not exist
     */
    public static native int setWindowSizeEnabled(int window, boolean enabled);

    /**
     * Rewrites entry 3 of the window's system menu as "Mi&amp;nimize", greyed or
     * enabled. The entry's command becomes 0.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param window a window handle
     * @param enabled false greys the entry
     * @return non-zero on success, 0 when the window or entry does not exist
     */
    public static native int setWindowMinimizeEnabled(int window, boolean enabled);

    /**
     * Rewrites entry 4 of the window's system menu as "Ma&amp;ximize", greyed or
     * enabled. The entry's command becomes 0.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns at
     * once.
     *
     * @param window a window handle
     * @param enabled false greys the entry
     * @return non-zero on success, 0 when the window or entry does not exist
     */
    public static native int setWindowMaximizeEnabled(int window, boolean enabled);

    // ---------------------------------------------------------------------
    // File dialogs

    /** Dialog mode: the open dialog. */
    public static final int DIALOG_OPEN = 1;
    /** Dialog mode: the save dialog; the name's extension follows the chosen filter. */
    public static final int DIALOG_SAVE = 2;
    /** Dialog mode: the open dialog made to pick a folder. */
    public static final int DIALOG_FOLDER = 3;

    /** Dialog flag: the read-only box starts checked. */
    public static final int OFN_READONLY = 0x1;
    /**
     * Dialog flag (save): asks before overwriting an existing file, also when
     * the filter's extension, added on accepting, turns the typed name into
     * that of an existing file.
     */
    public static final int OFN_OVERWRITEPROMPT = 0x2;
    /** Dialog flag: hides the read-only box (always on in folder mode). */
    public static final int OFN_HIDEREADONLY = 0x4;
    /** Dialog flag: accepts names without checking them (always on in folder mode). */
    public static final int OFN_NOVALIDATE = 0x100;
    /** Dialog flag (open only): lets the user choose several files. */
    public static final int OFN_ALLOWMULTISELECT = 0x200;
    /** Dialog flag: only existing files are accepted (always on in open mode). */
    public static final int OFN_FILEMUSTEXIST = 0x1000;
    /** Dialog flag: asks before a new file is created. */
    public static final int OFN_CREATEPROMPT = 0x2000;
    /** Dialog flag: rejects files that are read-only or in a read-only folder. */
    public static final int OFN_NOREADONLYRETURN = 0x8000;
    /** Dialog flag: returns shortcut files themselves, not what they point to. */
    public static final int OFN_NODEREFERENCELINKS = 0x100000;
    /** Dialog flag: the chosen file is not added to the recent documents. */
    public static final int OFN_DONTADDTORECENT = 0x2000000;
    /** Dialog flag: shows hidden and system files. */
    public static final int OFN_FORCESHOWHIDDEN = 0x10000000;

    /**
     * Shows the platform's open, save or folder dialog, centred over its
     * owner, and waits until the user closes it.
     *
     * <p>In save mode the name's extension follows the chosen filter: it is
     * set when the dialog opens, rewritten when the user picks another type,
     * and forced once more when the user accepts; a filter number that names
     * no filter gives the extension {@code .err}, and a name that could not
     * grow within the dialog's buffer keeps its extension. In folder mode the
     * dialog picks a folder and the result holds its path.
     *
     * <p>Replacing a file: with {@link #OFN_OVERWRITEPROMPT} the save dialog
     * asks before the accepted name replaces an existing file. The platform
     * asks about the name as the user typed it; when the extension rule then
     * changes it into the name of another existing file, the library asks
     * the same question ("&lt;name&gt; already exists. Do you want to
     * replace it?") about that name, and No keeps the dialog open with the
     * name as typed. Without the flag nobody asks.
     *
     * <p>These checks, like {@link #OFN_FILEMUSTEXIST} and
     * {@link #OFN_CREATEPROMPT}, see the file system as it is when the user
     * accepts. The file can still appear or vanish between the dialog's check
     * and the caller's write: that is the platform's own race, which no
     * dialog closes. A caller that must not replace a file creates it
     * exclusively, for example with
     * {@code Files.newOutputStream(path, StandardOpenOption.CREATE_NEW)}, and
     * handles the {@code FileAlreadyExistsException}.
     *
     * <p>Threads: blocks the calling thread until the user closes the dialog;
     * the dialog's message loop and the library's hook run on that thread
     * meanwhile, and the platform disables the owner window. May run on the
     * event dispatch thread, though Swing and AWT then handle no events and
     * repaint nothing until the dialog closes; from another thread the
     * application keeps painting. Calls on several threads share nothing.
     *
     * @param mode {@link #DIALOG_OPEN}, {@link #DIALOG_SAVE} or
     *        {@link #DIALOG_FOLDER}
     * @param owner the owner window's handle, 0 for none
     * @param filters descriptions and patterns in turn, for example
     *        {@code {"Text files", "*.txt;*.text", "All files", "*.*"}}; null
     *        for none; ignored in folder mode. An unpaired last description
     *        is dropped, a null or empty element ends the list, and pairs
     *        beyond the list's 2048 bytes are left out
     * @param filterIndex the filter shown first, counted from 1
     * @param initialName the name shown first, or null
     * @param initialDir the folder shown first, or null; one of 260 bytes or
     *        more is not used
     * @param title the dialog's title, or null for the platform's own
     * @param flags further {@code OFN_} flags, or other bits of the
     *        platform's dialog flags, which pass unchanged but for three that
     *        the library keeps for itself and clears: 0x40 and 0x80 (a dialog
     *        template, by name or by handle, which the library never supplies;
     *        with either the platform would skip the library's centring and
     *        extension handling) and 0x400000 (a notice for every listed item,
     *        which the library does not answer; the platform would then hide
     *        every item outside the file system)
     * @return the chosen name, full path included, followed by the number of
     *         the filter chosen last (in decimal); with
     *         {@link #OFN_ALLOWMULTISELECT} and several files chosen, the
     *         folder, then each file's name, then the filter number; null when
     *         the user cancels, the dialog fails or {@code mode} is not 1, 2
     *         or 3
     */
    public static native String[] getOpenSaveFileName(int mode, int owner, String[] filters,
            int filterIndex, String initialName, String initialDir, String title, int flags);

    // ---------------------------------------------------------------------
    // Shell folders

    /** Folder number: the desktop (virtual folder). */
    public static final int CSIDL_DESKTOP = 0x0000;
    /** Folder number: the user's Start menu programs. */
    public static final int CSIDL_PROGRAMS = 0x0002;
    /** Folder number: the user's documents. */
    public static final int CSIDL_PERSONAL = 0x0005;
    /** Folder number: the user's favourites. */
    public static final int CSIDL_FAVORITES = 0x0006;
    /** Folder number: the user's Startup folder. */
    public static final int CSIDL_STARTUP = 0x0007;
    /** Folder number: the user's recent documents. */
    public static final int CSIDL_RECENT = 0x0008;
    /** Folder number: the user's Send To folder. */
    public static final int CSIDL_SENDTO = 0x0009;
    /** Folder number: the user's Start menu. */
    public static final int CSIDL_STARTMENU = 0x000B;
    /** Folder number: the user's music. */
    public static final int CSIDL_MYMUSIC = 0x000D;
    /** Folder number: the user's videos. */
    public static final int CSIDL_MYVIDEO = 0x000E;
    /** Folder number: the folder behind the user's desktop. */
    public static final int CSIDL_DESKTOPDIRECTORY = 0x0010;
    /** Folder number: the fonts folder. */
    public static final int CSIDL_FONTS = 0x0014;
    /** Folder number: the user's document templates. */
    public static final int CSIDL_TEMPLATES = 0x0015;
    /** Folder number: the Start menu shared by all users. */
    public static final int CSIDL_COMMON_STARTMENU = 0x0016;
    /** Folder number: the Start menu programs shared by all users. */
    public static final int CSIDL_COMMON_PROGRAMS = 0x0017;
    /** Folder number: the desktop folder shared by all users. */
    public static final int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
    /** Folder number: the user's roaming application data. */
    public static final int CSIDL_APPDATA = 0x001A;
    /** Folder number: the user's local application data. */
    public static final int CSIDL_LOCAL_APPDATA = 0x001C;
    /** Folder number: application data shared by all users. */
    public static final int CSIDL_COMMON_APPDATA = 0x0023;
    /** Folder number: the Windows folder. */
    public static final int CSIDL_WINDOWS = 0x0024;
    /** Folder number: the system folder. */
    public static final int CSIDL_SYSTEM = 0x0025;
    /** Folder number: the program files folder. */
    public static final int CSIDL_PROGRAM_FILES = 0x0026;
    /** Folder number: the user's pictures. */
    public static final int CSIDL_MYPICTURES = 0x0027;
    /** Folder number: the user's profile. */
    public static final int CSIDL_PROFILE = 0x0028;
    /** Folder number: components shared between programs. */
    public static final int CSIDL_PROGRAM_FILES_COMMON = 0x002B;
    /** Folder number: documents shared by all users. */
    public static final int CSIDL_COMMON_DOCUMENTS = 0x002E;
    /** Flag added to a folder number: create the folder when it does not exist. */
    public static final int CSIDL_FLAG_CREATE = 0x8000;

    /** The prefix of the text {@link #SHBrowseForFolder(int, int, int, int)} returns when no folder was chosen. */
    public static final String BROWSE_ERROR_PREFIX = "Error: ";

    /**
     * Shows the shell's folder browser, titled "Select a directory", and
     * waits until the user closes it.
     *
     * <p>Threads: blocks the calling thread until the user closes the
     * browser, which runs its message loop on that thread. The browser needs
     * a thread initialised for COM as a single-threaded apartment: every
     * call initialises the calling thread so ({@code CoInitialize}) and
     * leaves it so. On a thread that other code has already initialised for
     * the multithreaded apartment the browser fails and the error text comes
     * back; use a thread of the application's own that does nothing else
     * with COM. May run on the event dispatch thread, with the same pause in
     * Swing's and AWT's event handling as
     * {@link #getOpenSaveFileName getOpenSaveFileName}.
     *
     * @param owner the owner window's handle, 0 for none
     * @param ignored1 ignored
     * @param ignored2 ignored
     * @param ignored3 ignored
     * @return the chosen folder's path; when no folder was chosen (the user
     *         cancelled, or the browser failed) the text "Error: " followed by
     *         the platform's last-error code in signed decimal, never null
     */
    public static native String SHBrowseForFolder(int owner, int ignored1, int ignored2, int ignored3);

    /**
     * Shows the shell's folder browser; the same as
     * {@link #SHBrowseForFolder(int, int, int, int)} with the ignored arguments
     * 0, with the same rules for threads and COM.
     *
     * @param owner the owner window's handle, 0 for none
     * @return the chosen folder's path, or "Error: " and the last-error code
     */
    public static String SHBrowseForFolder(int owner) {
        return SHBrowseForFolder(owner, 0, 0, 0);
    }

    /**
     * Reads the path of a special folder.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers. Needs no COM.
     *
     * @param folder a {@code CSIDL_} folder number, optionally with
     *        {@link #CSIDL_FLAG_CREATE}
     * @return the folder's current path; null when the platform rejects the
     *         number or cannot give a path
     */
    public static native String getSHFolderPath(int folder);

    // ---------------------------------------------------------------------
    // Machine identity

    /**
     * Reads the hardware address of a network adapter from the node field of
     * a new time-based identifier.
     *
     * <p>Threads: any thread, the event dispatch thread included; returns
     * when the platform answers. Needs no COM.
     *
     * @return six upper-case hexadecimal pairs joined by ':' (for example
     *         {@code 0A:1B:2C:3D:4E:5F}); null when no identifier could be
     *         made. On a machine without a network adapter the platform makes
     *         up a node, which is then no adapter's address.
     */
    public static native String getMACAddress();
}
