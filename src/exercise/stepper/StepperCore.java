import com.sun.jdi.AbsentInformationException;
import com.sun.jdi.ArrayReference;
import com.sun.jdi.BooleanValue;
import com.sun.jdi.Bootstrap;
import com.sun.jdi.ByteValue;
import com.sun.jdi.CharValue;
import com.sun.jdi.DoubleValue;
import com.sun.jdi.Field;
import com.sun.jdi.FloatValue;
import com.sun.jdi.IntegerValue;
import com.sun.jdi.LocalVariable;
import com.sun.jdi.Location;
import com.sun.jdi.LongValue;
import com.sun.jdi.Method;
import com.sun.jdi.ObjectReference;
import com.sun.jdi.ReferenceType;
import com.sun.jdi.ShortValue;
import com.sun.jdi.StackFrame;
import com.sun.jdi.StringReference;
import com.sun.jdi.ThreadReference;
import com.sun.jdi.Value;
import com.sun.jdi.VirtualMachine;
import com.sun.jdi.connect.Connector;
import com.sun.jdi.connect.ListeningConnector;
import com.sun.jdi.event.BreakpointEvent;
import com.sun.jdi.event.ClassPrepareEvent;
import com.sun.jdi.event.Event;
import com.sun.jdi.event.EventSet;
import com.sun.jdi.event.ExceptionEvent;
import com.sun.jdi.event.StepEvent;
import com.sun.jdi.event.VMDeathEvent;
import com.sun.jdi.event.VMDisconnectEvent;
import com.sun.jdi.request.BreakpointRequest;
import com.sun.jdi.request.ClassPrepareRequest;
import com.sun.jdi.request.EventRequest;
import com.sun.jdi.request.EventRequestManager;
import com.sun.jdi.request.ExceptionRequest;
import com.sun.jdi.request.StepRequest;
import java.io.File;
import java.io.IOException;
import java.io.Writer;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import javax.tools.JavaCompiler;
import javax.tools.StandardJavaFileManager;
import javax.tools.ToolProvider;

// The debugger half of the helper. A stop is reported only on the learner's statements (source
// lines first..last); the lines around them (main's closing brace) are stepped past.
final class StepperCore {
    static final String NULL_TEXT = "null（何も指していない）";
    // Of a longer array, only this many elements are shown.
    static final int ARRAY_FOLD = 100;
    // Objects inside objects are shown this deep.
    static final int MAX_DEPTH = 3;

    private final StepChannel channel;
    private final String className;
    private final int first;
    private final int last;
    private VirtualMachine vm;
    private EventRequestManager requests;
    private ReferenceType learnerClass;
    private Method main;
    private ThreadReference thread;
    private final List<BreakpointRequest> marks = new ArrayList<>();

    private StepperCore(StepChannel channel, String className, int first, int last) {
        this.channel = channel;
        this.className = className;
        this.first = first;
        this.last = last;
    }

    static int run(StepChannel channel, String[] args) throws Exception {
        StepperCore core = new StepperCore(channel, args[1], Integer.parseInt(args[2]),
                                           Integer.parseInt(args[3]));
        Path classes = null;
        try {
            // The class the compile page made has no table of local variables: a copy with one
            // is compiled for stepping from the same source, in a folder of its own.
            if (args.length > 4)
                classes = compileWithVariables(args[4]);
            return core.debug(classes == null ? "." : classes.toString());
        } catch (IOException | RuntimeException e) {
            channel.send("{\"ev\":\"error\",\"text\":" + StepChannel.quote(String.valueOf(e)) + "}");
            return 1;
        } finally {
            if (classes != null)
                removeTree(classes);
        }
    }

    private static Path compileWithVariables(String source) throws IOException {
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        if (javac == null)
            return null;
        Path out = Files.createTempDirectory("vellaro-step");
        boolean ok;
        // The source is the compile page's: CP932, as its compile reads it. What the compiler
        // would say, the compile page has said already.
        try (StandardJavaFileManager files =
                 javac.getStandardFileManager(d -> {}, null, Charset.forName("MS932"))) {
            ok = javac
                     .getTask(Writer.nullWriter(), files, d -> {},
                              List.of("-g", "-nowarn", "-encoding", "MS932", "-d", out.toString()),
                              null, files.getJavaFileObjects(new File(source)))
                     .call();
        }
        if (!ok) {
            removeTree(out);
            return null;
        }
        return out;
    }

    private static void removeTree(Path root) {
        try (Stream<Path> walk = Files.walk(root)) {
            walk.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
        } catch (IOException e) {
            // A temporary folder left behind is harmless.
        }
    }

    private int debug(String classPath) throws Exception {
        ListeningConnector listen = null;
        for (ListeningConnector c : Bootstrap.virtualMachineManager().listeningConnectors())
            if (c.name().equals("com.sun.jdi.SocketListen"))
                listen = c;
        if (listen == null)
            throw new IOException("no socket listening connector");
        Map<String, Connector.Argument> arguments = listen.defaultArguments();
        if (arguments.containsKey("localAddress"))
            arguments.get("localAddress").setValue("127.0.0.1");
        arguments.get("port").setValue("0");
        String address = listen.startListening(arguments);
        String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
        // The learner's program gets the terminal: what it prints and reads is the console's.
        Process process = new ProcessBuilder(
                              java, "-agentlib:jdwp=transport=dt_socket,server=n,suspend=y,address=" + address,
                              "-Duser.language=ja", "-Dfile.encoding=UTF-8", "-Dstdout.encoding=UTF-8",
                              "-Dstderr.encoding=UTF-8", "-cp", classPath, className)
                              .inheritIO()
                              .start();
        try {
            vm = listen.accept(arguments);
        } finally {
            listen.stopListening(arguments);
        }
        requests = vm.eventRequestManager();
        ClassPrepareRequest prepare = requests.createClassPrepareRequest();
        prepare.addClassFilter(className);
        prepare.setSuspendPolicy(EventRequest.SUSPEND_ALL);
        prepare.enable();
        ExceptionRequest uncaught = requests.createExceptionRequest(null, false, true);
        uncaught.setSuspendPolicy(EventRequest.SUSPEND_ALL);
        uncaught.enable();
        // The start's event set resumes the program (in the loop), once everything is requested.
        try {
            loop();
        } finally {
            if (process.isAlive() && !process.waitFor(2, TimeUnit.SECONDS))
                process.destroyForcibly();
        }
        int status = process.waitFor();
        channel.send("{\"ev\":\"end\",\"status\":" + status + "}");
        return 0;
    }

    private void loop() throws Exception {
        while (true) {
            EventSet set;
            try {
                set = vm.eventQueue().remove();
            } catch (InterruptedException e) {
                return;
            }
            Location where = null;
            ExceptionEvent exception = null;
            for (Event e : set) {
                if (e instanceof VMDeathEvent || e instanceof VMDisconnectEvent)
                    return;
                if (e instanceof ClassPrepareEvent prepared) {
                    prepare(prepared.referenceType());
                } else if (e instanceof BreakpointEvent hit) {
                    thread = hit.thread();
                    where = hit.location();
                } else if (e instanceof StepEvent step) {
                    thread = step.thread();
                    where = step.location();
                } else if (e instanceof ExceptionEvent thrown) {
                    thread = thrown.thread();
                    exception = thrown;
                }
            }
            if (exception != null) {
                reportException(exception);
                if (!awaitCommand(true))
                    return;
            } else if (where != null) {
                if (where.method().equals(main) && where.lineNumber() >= first &&
                    where.lineNumber() <= last) {
                    channel.send("{\"ev\":\"stop\",\"line\":" + where.lineNumber() +
                                 ",\"vars\":" + variables(thread.frame(0)) + "}");
                    if (!awaitCommand(false))
                        return;
                } else if (where.method().equals(main)) {
                    step();
                } else {
                    clearSteps();
                }
            }
            set.resume();
        }
    }

    private void prepare(ReferenceType type) {
        if (!type.name().equals(className) || main != null)
            return;
        learnerClass = type;
        List<Method> found = type.methodsByName("main", "([Ljava/lang/String;)V");
        if (found.isEmpty())
            return;
        main = found.get(0);
        if (main.location() == null)
            return;
        BreakpointRequest entry = requests.createBreakpointRequest(main.location());
        entry.setSuspendPolicy(EventRequest.SUSPEND_ALL);
        entry.addCountFilter(1);
        entry.enable();
    }

    // Waits for the window's word: "step" (to the next statement), "run <line>..." (on to the
    // next of these statement lines, each a stop mark). False when the window has gone.
    private boolean awaitCommand(boolean afterException) throws IOException {
        String command = channel.receive();
        if (command == null) {
            vm.exit(1);
            return false;
        }
        if (afterException) {
            clearSteps();
            setMarks(List.of());
        } else if (command.startsWith("run")) {
            clearSteps();
            List<Integer> lines = new ArrayList<>();
            for (String word : command.substring(3).trim().split("\\s+"))
                if (!word.isEmpty())
                    lines.add(Integer.parseInt(word));
            setMarks(lines);
        } else {
            setMarks(List.of());
            step();
        }
        return true;
    }

    private void step() {
        clearSteps();
        StepRequest request =
            requests.createStepRequest(thread, StepRequest.STEP_LINE, StepRequest.STEP_OVER);
        request.addClassFilter(className);
        request.setSuspendPolicy(EventRequest.SUSPEND_ALL);
        request.enable();
    }

    private void clearSteps() {
        requests.deleteEventRequests(new ArrayList<>(requests.stepRequests()));
    }

    private void setMarks(List<Integer> lines) {
        requests.deleteEventRequests(marks);
        marks.clear();
        for (int line : lines) {
            try {
                for (Location at : learnerClass.locationsOfLine(line)) {
                    if (!at.method().equals(main))
                        continue;
                    BreakpointRequest mark = requests.createBreakpointRequest(at);
                    mark.setSuspendPolicy(EventRequest.SUSPEND_ALL);
                    mark.enable();
                    marks.add(mark);
                }
            } catch (AbsentInformationException e) {
                // Without line numbers there is nowhere to stop; the program runs to its end.
            }
        }
    }

    private void reportException(ExceptionEvent event) throws Exception {
        ObjectReference thrown = event.exception();
        String message = null;
        List<ReferenceType> throwable = vm.classesByName("java.lang.Throwable");
        if (!throwable.isEmpty()) {
            Field detail = throwable.get(0).fieldByName("detailMessage");
            if (detail != null && thrown.getValue(detail) instanceof StringReference text)
                message = text.value();
        }
        int line = -1;
        String vars = "[]";
        for (StackFrame frame : event.thread().frames()) {
            if (frame.location().method().equals(main)) {
                line = frame.location().lineNumber();
                vars = variables(frame);
                break;
            }
        }
        channel.send("{\"ev\":\"exception\",\"line\":" + line + ",\"class\":" +
                     StepChannel.quote(thrown.referenceType().name()) + ",\"message\":" +
                     (message == null ? "null" : StepChannel.quote(message)) + ",\"vars\":" + vars +
                     "}");
    }

    // main's local variables in scope, the learner's own (not the parameter args). A variable
    // not yet assigned is not in scope yet.
    private String variables(StackFrame frame) throws Exception {
        List<LocalVariable> visible;
        try {
            visible = frame.visibleVariables();
        } catch (AbsentInformationException e) {
            return "[]";
        }
        StringBuilder out = new StringBuilder("[");
        for (LocalVariable variable : visible) {
            if (variable.isArgument())
                continue;
            if (out.length() > 1)
                out.append(',');
            out.append("{\"name\":").append(StepChannel.quote(variable.name()));
            out.append(",\"type\":").append(StepChannel.quote(typeName(variable.typeName())));
            out.append(",\"value\":").append(StepChannel.quote(format(frame.getValue(variable), 0)));
            out.append('}');
        }
        return out.append(']').toString();
    }

    // As the learner wrote it: String for java.lang.String, Point for the local class Hello$1Point.
    static String typeName(String name) {
        StringBuilder out = new StringBuilder();
        int dims = 0;
        while (name.endsWith("[]")) {
            name = name.substring(0, name.length() - 2);
            dims++;
        }
        name = name.substring(name.lastIndexOf('.') + 1);
        name = name.substring(name.lastIndexOf('$') + 1);
        int i = 0;
        while (i < name.length() - 1 && Character.isDigit(name.charAt(i)))
            i++;
        out.append(name.substring(i));
        for (int d = 0; d < dims; d++)
            out.append("[]");
        return out.toString();
    }

    private boolean isLearnersClass(ReferenceType type) {
        return type.name().startsWith(className + "$");
    }

    String format(Value value, int depth) {
        if (value == null)
            return NULL_TEXT;
        if (value instanceof IntegerValue v)
            return Integer.toString(v.value());
        if (value instanceof DoubleValue v)
            return Double.toString(v.value());
        if (value instanceof BooleanValue v)
            return Boolean.toString(v.value());
        if (value instanceof CharValue v)
            return Character.toString(v.value());
        if (value instanceof LongValue v)
            return Long.toString(v.value());
        if (value instanceof FloatValue v)
            return Float.toString(v.value());
        if (value instanceof ShortValue v)
            return Short.toString(v.value());
        if (value instanceof ByteValue v)
            return Byte.toString(v.value());
        if (value instanceof StringReference v)
            return "\"" + v.value() + "\"";
        if (value instanceof ArrayReference array)
            return formatArray(array, depth);
        if (value instanceof ObjectReference object) {
            ReferenceType type = object.referenceType();
            String boxed = unboxed(object);
            if (boxed != null)
                return boxed;
            if (!isLearnersClass(type))
                return typeName(type.name()) + " のオブジェクト";
            if (depth >= MAX_DEPTH)
                return typeName(type.name()) + "{…}";
            StringBuilder out = new StringBuilder(typeName(type.name())).append('{');
            boolean firstField = true;
            for (Field field : type.allFields()) {
                if (field.isStatic() || field.isSynthetic())
                    continue;
                if (!firstField)
                    out.append(", ");
                firstField = false;
                out.append(field.name()).append('=').append(format(object.getValue(field), depth + 1));
            }
            return out.append('}').toString();
        }
        return String.valueOf(value);
    }

    private String formatArray(ArrayReference array, int depth) {
        int length = array.length();
        if (length == 0)
            return "（要素なし）";
        if (depth >= MAX_DEPTH)
            return "[…]";
        int shown = Math.min(length, ARRAY_FOLD);
        List<Value> values = array.getValues(0, shown);
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < shown; i++) {
            if (i > 0)
                out.append(", ");
            out.append('[').append(i).append("]=").append(format(values.get(i), depth + 1));
        }
        if (length > shown)
            out.append(", …（全 ").append(length).append(" 個）");
        return out.toString();
    }

    private static String unboxed(ObjectReference object) {
        String name = object.referenceType().name();
        switch (name) {
        case "java.lang.Integer", "java.lang.Double", "java.lang.Boolean", "java.lang.Character",
            "java.lang.Long", "java.lang.Float", "java.lang.Short", "java.lang.Byte": {
            Field value = object.referenceType().fieldByName("value");
            return value == null ? null : String.valueOf(object.getValue(value));
        }
        default:
            return null;
        }
    }
}
