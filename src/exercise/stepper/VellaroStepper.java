// The stepping helper: started by the step window on the run's terminal, it starts the learner's
// class under the JDK's debugger interface, stops at each statement of main and reports every
// stop, with main's local variables, as JSON lines on a Unix socket of the window's own. The
// learner's program keeps the terminal (its input and output) to itself.
//
// This class uses nothing of com.sun.jdi, so that a JDK without the jdk.jdi module reaches the
// check below instead of failing to load it.
//
// Arguments: <socket path> <class name> <first statement line> <last statement line>
//            [<source file to compile with local variable tables>]
public final class VellaroStepper {
    public static void main(String[] args) throws Exception {
        if (args.length < 4) {
            System.err.println("usage: VellaroStepper <socket> <class> <first> <last> [<source>]");
            System.exit(2);
        }
        StepChannel channel = StepChannel.open(args[0]);
        if (ModuleLayer.boot().findModule("jdk.jdi").isEmpty()) {
            channel.send("{\"ev\":\"nojdi\"}");
            System.exit(3);
        }
        int status = StepperCore.run(channel, args);
        System.exit(status);
    }
}
