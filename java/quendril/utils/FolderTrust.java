package quendril.utils;

import java.io.IOException;
import java.nio.file.FileSystem;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.AclFileAttributeView;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.util.ArrayList;
import java.util.Collections;
import java.util.EnumSet;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Properties;
import java.util.Set;

/**
 * Who may change the loader's folders and files, and folders that only the
 * user may use.
 *
 * <p>A principal is trusted when it is the user, or when it may already
 * change the user's home folder or the JVM's own folder: it can run code as
 * this user anyway. On Windows that is the user, SYSTEM and Administrators
 * (and TrustedInstaller for a JVM under Program Files), learnt from those
 * folders' ACLs rather than by name, since Windows translates the names. A
 * file or folder is trusted when it is plain (not a link, junction or other
 * reparse point), a trusted principal owns it and nobody else may change it.
 */
final class FolderTrust {

    private static final LinkOption NO_LINKS = LinkOption.NOFOLLOW_LINKS;
    /** What lets a principal change or replace a file, or a folder's entries. */
    private static final Set<AclEntryPermission> CHANGE = EnumSet.of(AclEntryPermission.WRITE_DATA,
            AclEntryPermission.APPEND_DATA, AclEntryPermission.DELETE, AclEntryPermission.DELETE_CHILD,
            AclEntryPermission.WRITE_ACL, AclEntryPermission.WRITE_OWNER);
    private static final Set<PosixFilePermission> OTHERS_WRITE = EnumSet.of(PosixFilePermission.GROUP_WRITE,
            PosixFilePermission.OTHERS_WRITE);

    private final Properties properties;
    private Set<UserPrincipal> trusted;
    /** The user and whoever may change the home folder (on Windows SYSTEM and Administrators). */
    private Set<UserPrincipal> homeChangers;
    private UserPrincipal user;

    FolderTrust(Properties properties) {
        this.properties = properties;
    }

    /** Whether the attributes (read without following links) are those of a plain folder. */
    static boolean isPlainFolder(BasicFileAttributes attributes) {
        // A junction reads as a folder that is also "other" (a reparse point).
        return attributes.isDirectory() && !attributes.isOther() && !attributes.isSymbolicLink();
    }

    /** Whether the attributes (read without following links) are those of a plain file. */
    static boolean isPlainFile(BasicFileAttributes attributes) {
        return attributes.isRegularFile() && !attributes.isOther() && !attributes.isSymbolicLink();
    }

    /**
     * Why {@code path} cannot be trusted, or null when it can: a plain file
     * or folder that a trusted principal owns and nobody else may change.
     */
    String distrust(Path path) {
        try {
            BasicFileAttributes basic = Files.readAttributes(path, BasicFileAttributes.class, NO_LINKS);
            if (!isPlainFolder(basic) && !isPlainFile(basic)) {
                return path + " is a link, junction or other special entry";
            }
            Set<UserPrincipal> principals = trusted(path.getFileSystem());
            UserPrincipal owner = Files.getOwner(path, NO_LINKS);
            if (!principals.contains(owner)) {
                return path + " belongs to " + owner.getName();
            }
            if (supports(path, "acl")) {
                if (Files.getFileAttributeView(path, AclFileAttributeView.class, NO_LINKS).getAcl().isEmpty()) {
                    // What Java shows of a missing (null) ACL, which lets everyone in.
                    return path + " has no access list";
                }
                for (UserPrincipal other : changers(path)) {
                    if (!principals.contains(other)) {
                        return other.getName() + " may change " + path;
                    }
                }
                return null;
            }
            if (supports(path, "posix")) {
                Set<PosixFilePermission> rights = Files.readAttributes(path, PosixFileAttributes.class, NO_LINKS)
                        .permissions();
                return Collections.disjoint(rights, OTHERS_WRITE) ? null : path + " is writable by others";
            }
            return path + ": its file system records no rights";
        } catch (IOException | SecurityException | UnsupportedOperationException e) {
            return path + ": its owner and rights cannot be read (" + e + ")";
        }
    }

    /** Whether {@code path} belongs to the user or to whoever owns {@code place}; false when unknown. */
    boolean ownedAlike(Path path, Path place) {
        try {
            UserPrincipal owner = Files.getOwner(path, NO_LINKS);
            return owner.equals(Files.getOwner(place, NO_LINKS)) || owner.equals(user(path.getFileSystem()));
        } catch (IOException | SecurityException | UnsupportedOperationException e) {
            return false;
        }
    }

    /**
     * Creates {@code folder}, or a new folder named {@code prefix} and a
     * number inside {@code folder} when {@code prefix} is given, that only
     * the user (and on Windows the other trusted principals) may use. Fails
     * when the folder exists: a folder made before cannot be vouched for.
     */
    Path createOwnerOnly(Path folder, String prefix) throws IOException {
        FileAttribute<?>[] rights = ownerOnly(folder.getFileSystem());
        try {
            return prefix == null ? Files.createDirectory(folder, rights)
                    : Files.createTempDirectory(folder, prefix, rights);
        } catch (UnsupportedOperationException e) {
            // No rights can be given at creation: the folder inherits its
            // parent's, and the check that follows judges them.
            return prefix == null ? Files.createDirectory(folder) : Files.createTempDirectory(folder, prefix);
        }
    }

    private FileAttribute<?>[] ownerOnly(FileSystem fileSystem) {
        Set<String> views = fileSystem.supportedFileAttributeViews();
        if (views.contains("posix")) {
            return new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(
                    PosixFilePermissions.fromString("rwx------"))};
        }
        trusted(fileSystem);
        if (!views.contains("acl") || homeChangers.isEmpty()) {
            return new FileAttribute<?>[0];
        }
        final List<AclEntry> entries = new ArrayList<>();
        for (UserPrincipal principal : homeChangers) {
            entries.add(AclEntry.newBuilder().setType(AclEntryType.ALLOW).setPrincipal(principal)
                    .setPermissions(AclEntryPermission.values())
                    .setFlags(AclEntryFlag.FILE_INHERIT, AclEntryFlag.DIRECTORY_INHERIT).build());
        }
        return new FileAttribute<?>[] {new FileAttribute<List<AclEntry>>() {
            @Override
            public String name() {
                return "acl:acl";
            }

            @Override
            public List<AclEntry> value() {
                return entries;
            }
        }};
    }

    private synchronized Set<UserPrincipal> trusted(FileSystem fileSystem) {
        if (trusted == null) {
            trusted = new LinkedHashSet<>();
            UserPrincipal self = user(fileSystem);
            if (self != null) {
                trusted.add(self);
            }
            trusted.addAll(changersOf("user.home"));
            homeChangers = new LinkedHashSet<>(trusted);
            trusted.addAll(changersOf("java.home"));
        }
        return trusted;
    }

    /** The owner of the folder named by a system property and, on Windows, whoever its ACL lets change it. */
    private Set<UserPrincipal> changersOf(String key) {
        Set<UserPrincipal> found = new LinkedHashSet<>();
        try {
            Path folder = Paths.get(properties.getProperty(key, ""));
            if (folder.isAbsolute() && Files.exists(folder)) {
                found.add(Files.getOwner(folder));
                if (supports(folder, "acl")) {
                    found.addAll(changers(folder));
                }
            }
        } catch (IOException | InvalidPathException | SecurityException | UnsupportedOperationException e) {
            // That folder names nobody.
        }
        return found;
    }

    private synchronized UserPrincipal user(FileSystem fileSystem) {
        if (user == null) {
            try {
                user = fileSystem.getUserPrincipalLookupService()
                        .lookupPrincipalByName(properties.getProperty("user.name", ""));
            } catch (IOException | SecurityException | UnsupportedOperationException e) {
                return null;
            }
        }
        return user;
    }

    /** The principals that an ACL entry of {@code path} itself lets change it. */
    private static Set<UserPrincipal> changers(Path path) throws IOException {
        Set<UserPrincipal> found = new LinkedHashSet<>();
        AclFileAttributeView view = Files.getFileAttributeView(path, AclFileAttributeView.class, NO_LINKS);
        for (AclEntry entry : view.getAcl()) {
            if (entry.type() == AclEntryType.ALLOW && !entry.flags().contains(AclEntryFlag.INHERIT_ONLY)
                    && !Collections.disjoint(entry.permissions(), CHANGE)) {
                found.add(entry.principal());
            }
        }
        return found;
    }

    /** Whether the volume of {@code path} keeps that view's rights (a FAT drive on Windows keeps no ACL). */
    private static boolean supports(Path path, String view) {
        try {
            return Files.getFileStore(path).supportsFileAttributeView(view);
        } catch (IOException | SecurityException e) {
            return false;
        }
    }
}
