package net.morvex.executors.tests;

import com.sun.management.HotSpotDiagnosticMXBean;
import java.lang.management.BufferPoolMXBean;
import java.lang.management.ManagementFactory;

/** What the tests ask the VM about the memory of direct buffers. */
public final class DirectMemory {
  private DirectMemory() {}

  /** The bytes the VM's direct buffers hold now (buffers over native memory not counted). */
  public static long used() {
    for (BufferPoolMXBean pool : ManagementFactory.getPlatformMXBeans(BufferPoolMXBean.class)) {
      if (pool.getName().equals("direct")) {
        return pool.getMemoryUsed();
      }
    }
    throw new IllegalStateException("The VM has no pool of direct buffers");
  }

  /** The most bytes direct buffers may hold, as the VM's MaxDirectMemorySize option says. */
  public static long cap() {
    return Long.parseLong(ManagementFactory.getPlatformMXBean(HotSpotDiagnosticMXBean.class)
                              .getVMOption("MaxDirectMemorySize")
                              .getValue());
  }
}
