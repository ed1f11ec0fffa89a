package net.morvex.executors.tests;

import java.io.IOError;
import java.io.IOException;

/** Throws exceptions of the shapes native code must describe. */
public final class Throwers {
  private Throwers() {}

  public static void causeChain() {
    throw new IllegalStateException("outer", new IOException("inner"));
  }

  public static void threeDeep() {
    throw new IllegalStateException(
        "top", new RuntimeException("middle", new IllegalArgumentException("bottom")));
  }

  public static void ioErrorWithCause() {
    throw new IOError(new IOException("disk gone"));
  }

  public static void ioErrorWithoutCause() {
    throw new IOError(null);
  }

  public static void withoutMessage() {
    throw new UnsupportedOperationException();
  }

  public static void causeLoop() {
    Exception first = new Exception("first");
    Exception second = new Exception("second", first);
    first.initCause(second);
    throw new IllegalStateException("looped", first);
  }
}
