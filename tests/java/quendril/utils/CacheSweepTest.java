package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.lang.reflect.Proxy;
import java.nio.channels.FileChannel;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributeView;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileTime;
import java.util.Arrays;
import java.util.List;
import java.util.TreeSet;
import java.util.concurrent.TimeUnit;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * What the sweep removes and what it must leave: a file stands for
 * "removed" by its absence, for "kept" by its presence.
 */
class CacheSweepTest {

    private static final long NOW = System.currentTimeMillis();
    private static final FileTime TWO_DAYS_AGO = FileTime.fromMillis(NOW - TimeUnit.DAYS.toMillis(2));
    private static final FileTime MONTH_AGO = FileTime.fromMillis(NOW - TimeUnit.DAYS.toMillis(31));

    @TempDir
    Path root;

    private Path file(String name, boolean old) throws IOException {
        Path file = root.resolve(name);
        Files.createDirectories(file.getParent());
        Files.write(file, new byte[] {'M', 'Z'});
        if (old) {
            Files.setLastModifiedTime(file, TWO_DAYS_AGO);
        }
        return file;
    }

    private void age(String folder, FileTime time) throws IOException {
        Files.setLastModifiedTime(root.resolve(folder), time);
    }

    private CacheSweep sweep() {
        return new CacheSweep(new FolderTrust(System.getProperties()), new DebugLog(null), NOW);
    }

    private List<String> left() throws IOException {
        try (Stream<Path> all = Files.walk(root)) {
            return all.filter(p -> !p.equals(root)).map(p -> root.relativize(p).toString().replace('\\', '/'))
                    .collect(Collectors.toCollection(TreeSet::new)).stream().collect(Collectors.toList());
        }
    }

    /** Holds a file's lock as a live process that loaded the DLL beside it does. */
    private static FileChannel inUse(Path lockFile) throws IOException {
        FileChannel channel = FileChannel.open(lockFile, StandardOpenOption.READ, StandardOpenOption.WRITE);
        channel.lock(Long.MAX_VALUE - 1, 1, true);
        return channel;
    }

    @Test
    @SuppressWarnings("try") // the locks only need to be held
    void removesOnlyWhatTheLoaderLeftAndNoLiveProcessHolds() throws IOException {
        String current = Vantrel.VERSION + "-0123456789abcdef";
        String recent = "1.9.5.0-4444444444444444";      // another version's, used within 30 days: stays
        String other = "1.0.0.0-0123456789abcdef";
        String held = "2.0.0.1-fedcba9876543210";
        file(current + "/Vantrel.dll", true);
        file(current + "/Vantrel.lock", true);
        file(current + "/Vantrel123.part", true);              // an interrupted write a day ago: goes
        file(current + "/Vantrel456.part", false);             // one being written now: stays
        file(Vantrel.VERSION + "-1111111111111111/Vantrel.dll", true);   // the other architecture's: stays
        file(other + "/Vantrel.dll", true);
        file(other + "/Vantrel.lock", false);
        file(other + "/Vantrel789.part", true);
        file(held + "/Vantrel.dll", true);
        Path heldLock = file(held + "/Vantrel.lock", true);
        file("1.9.0.0-2222222222222222/Vantrel.dll", true);    // an older loader's, unused and unlocked: goes
        file("1.8.0.0-3333333333333333/Vantrel.dll", true);
        file("1.8.0.0-3333333333333333/notes.txt", true);      // not the loader's: it and its folder stay
        file("backup-0123456789abcdef/Vantrel.dll", true);     // not a name the loader writes
        file("Vantrel.dll", true);
        file("private/vantrel-1/Vantrel.dll", true);           // its process ended
        file("private/vantrel-1/owner.lock", true);
        file("private/vantrel-2/Vantrel.dll", true);           // its process lives
        Path liveOwner = file("private/vantrel-2/owner.lock", true);
        file("private/vantrel-3/Vantrel.dll", false);          // being set up right now
        file(recent + "/Vantrel.dll", true);
        file("private/vantrel-4/Vantrel.dll", true);           // its owner ended before locking
        age("private/vantrel-4", TWO_DAYS_AGO);
        for (String unused : new String[] {other, held, "1.9.0.0-2222222222222222", "1.8.0.0-3333333333333333"}) {
            age(unused, MONTH_AGO);
        }
        file("private/vantrel-x/Vantrel.dll", true);
        file("private/vantrel-x/owner.lock", true);

        try (FileChannel a = inUse(heldLock); FileChannel b = inUse(liveOwner)) {
            sweep().sweepDaily(root);
        }

        assertEquals(Arrays.asList(
                "1.8.0.0-3333333333333333",
                "1.8.0.0-3333333333333333/notes.txt",
                recent,
                recent + "/Vantrel.dll",
                "2.0.0.1-fedcba9876543210",
                "2.0.0.1-fedcba9876543210/Vantrel.dll",
                "2.0.0.1-fedcba9876543210/Vantrel.lock",
                Vantrel.VERSION + "-0123456789abcdef",
                Vantrel.VERSION + "-0123456789abcdef/Vantrel.dll",
                Vantrel.VERSION + "-0123456789abcdef/Vantrel.lock",
                Vantrel.VERSION + "-0123456789abcdef/Vantrel456.part",
                Vantrel.VERSION + "-1111111111111111",
                Vantrel.VERSION + "-1111111111111111/Vantrel.dll",
                "Vantrel.dll",
                "backup-0123456789abcdef",
                "backup-0123456789abcdef/Vantrel.dll",
                "last-sweep",
                "private",
                "private/vantrel-2",
                "private/vantrel-2/Vantrel.dll",
                "private/vantrel-2/owner.lock",
                "private/vantrel-3",
                "private/vantrel-3/Vantrel.dll",
                "private/vantrel-x",
                "private/vantrel-x/Vantrel.dll",
                "private/vantrel-x/owner.lock"), left());
    }

    @Test
    void followsNoLink() throws IOException {
        Path outside = root.resolve("outside");
        file("outside/Vantrel.dll", true);
        file("outside/owner.lock", true);
        Path links = root.resolve("links");
        Files.createDirectories(links);
        Files.createSymbolicLink(links.resolve("vantrel-5"), outside);
        Files.createSymbolicLink(links.resolve("1.0.0.0-0123456789abcdef"), outside);

        for (String link : new String[] {"vantrel-5", "1.0.0.0-0123456789abcdef"}) {
            Files.getFileAttributeView(links.resolve(link), BasicFileAttributeView.class, LinkOption.NOFOLLOW_LINKS)
                    .setTimes(MONTH_AGO, null, null);
        }
        sweep().sweepCache(links);
        sweep().sweepPrivate(links);

        assertEquals(Arrays.asList("links", "links/1.0.0.0-0123456789abcdef", "links/vantrel-5", "outside",
                "outside/Vantrel.dll", "outside/owner.lock"), left());
    }

    /**
     * Windows has junctions where Linux has symbolic links: the JDK reads a
     * junction as a folder that is also "other" (a reparse point), and the
     * sweep must leave it as it leaves a link.
     */
    @Test
    void aJunctionIsNoPlainFolder() {
        assertFalse(FolderTrust.isPlainFolder(attributes(true, true)));
        assertTrue(FolderTrust.isPlainFolder(attributes(true, false)));
    }

    private static BasicFileAttributes attributes(boolean directory, boolean other) {
        return (BasicFileAttributes) Proxy.newProxyInstance(CacheSweepTest.class.getClassLoader(),
                new Class<?>[] {BasicFileAttributes.class}, (proxy, method, args) ->
                        method.getName().equals("isDirectory") ? directory
                        : method.getName().equals("isOther") ? other : Boolean.FALSE);
    }

    @Test
    void sweepsAPlaceAtMostOnceADay() throws IOException {
        file("1.0.0.0-0123456789abcdef/Vantrel.dll", true);
        age("1.0.0.0-0123456789abcdef", MONTH_AGO);
        file("last-sweep", false);
        sweep().sweepDaily(root);
        assertEquals(3, left().size(), "swept within the day: left alone");

        age("last-sweep", TWO_DAYS_AGO);
        sweep().sweepDaily(root);
        assertEquals(Arrays.asList("last-sweep"), left());
        assertTrue(Files.getLastModifiedTime(root.resolve("last-sweep")).toMillis() >= NOW, "the sweep is recorded");
    }
}
