package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;

/**
 * Runs until it is interrupted. statusData(1) answers "running" while execute() runs, so a
 * caller knows when an interrupt will reach it, and "stopped" after an interrupted run.
 */
public final class Slow extends ExecutionBlock {
  private volatile String state = "idle";

  @Override
  public void execute() throws InterruptedException {
    state = "running";
    while (!isInterruptionRequested()) {
      Thread.sleep(1);
    }
    state = "stopped";
  }

  @Override
  public String statusData(int code) {
    return code == 1 ? state : "";
  }
}
