import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.Channels;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;

// The helper's own channel to the window: one JSON object per line out, one command per line in.
final class StepChannel {
    private final OutputStream out;
    private final BufferedReader in;

    private StepChannel(SocketChannel socket) {
        out = Channels.newOutputStream(socket);
        in = new BufferedReader(
            new InputStreamReader(Channels.newInputStream(socket), StandardCharsets.UTF_8));
    }

    static StepChannel open(String path) throws IOException {
        SocketChannel socket = SocketChannel.open(StandardProtocolFamily.UNIX);
        socket.connect(UnixDomainSocketAddress.of(path));
        return new StepChannel(socket);
    }

    synchronized void send(String json) throws IOException {
        out.write((json + "\n").getBytes(StandardCharsets.UTF_8));
        out.flush();
    }

    // The next command; null once the window has gone.
    String receive() throws IOException {
        return in.readLine();
    }

    static String quote(String s) {
        StringBuilder b = new StringBuilder(s.length() + 2).append('"');
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            switch (c) {
            case '"': b.append("\\\""); break;
            case '\\': b.append("\\\\"); break;
            case '\n': b.append("\\n"); break;
            case '\r': b.append("\\r"); break;
            case '\t': b.append("\\t"); break;
            default:
                if (c < 0x20) b.append(String.format("\\u%04x", (int) c));
                else b.append(c);
            }
        }
        return b.append('"').toString();
    }
}
