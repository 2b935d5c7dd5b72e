import java.lang.reflect.Modifier;
import java.net.URI;
import java.nio.file.*;
import java.util.*;

public class ListPublicTypes {
    public static void main(String[] args) throws Exception {
        FileSystem jrt = FileSystems.getFileSystem(URI.create("jrt:/"));
        TreeSet<String> names = new TreeSet<>();
        for (String pkg : args) {
            Path dir = jrt.getPath("/packages", pkg);
            for (Path module : Files.newDirectoryStream(dir)) {
                Path folder = jrt.getPath("/modules", module.getFileName().toString(), pkg.replace('.', '/'));
                try (DirectoryStream<Path> ds = Files.newDirectoryStream(folder, "*.class")) {
                    for (Path p : ds) {
                        String f = p.getFileName().toString();
                        if (f.contains("$") || f.equals("module-info.class") || f.equals("package-info.class")) continue;
                        String n = f.substring(0, f.length() - 6);
                        Class<?> c = Class.forName(pkg + "." + n, false, null);
                        if (Modifier.isPublic(c.getModifiers())) names.add(n);
                    }
                }
            }
        }
        for (String n : names) System.out.println(n);
    }
}
