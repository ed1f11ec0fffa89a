package net.morvex.executors.tests;

import java.lang.management.ManagementFactory;
import javax.management.JMException;
import javax.management.ObjectName;

/** What the tests ask the VM about the JNI references native code holds. */
public final class JniReferences {
  private static final String GLOBAL_REFS = "JNI global refs: ";

  private JniReferences() {}

  /**
   * The count of JNI global references in the VM, as its own thread dump reports it (the
   * diagnostic command behind "jcmd Thread.print").
   */
  public static long globalCount() throws JMException {
    String dump = (String) ManagementFactory.getPlatformMBeanServer().invoke(
        new ObjectName("com.sun.management:type=DiagnosticCommand"), "threadPrint",
        new Object[] {new String[0]}, new String[] {String[].class.getName()});
    int at = dump.lastIndexOf(GLOBAL_REFS);
    if (at < 0) {
      throw new IllegalStateException("The thread dump names no JNI global references");
    }
    int start = at + GLOBAL_REFS.length();
    int end = start;
    while (end < dump.length() && Character.isDigit(dump.charAt(end))) {
      ++end;
    }
    return Long.parseLong(dump.substring(start, end));
  }
}
