package net.morvex.executors.tests;

/** What the tests ask the VM about its threads. */
public final class JavaThreads {
  private JavaThreads() {}

  /** The threads alive in the VM, attached native threads included. */
  public static int count() {
    return Thread.getAllStackTraces().size();
  }
}
