package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SScalar;

/**
 * Asks to be run again "times" times (setting, default 2) after a reset, writes the count of
 * its executions since the reset to "runs", and keeps a journal of its reset() and execute()
 * calls, which statusData(1) answers ("reset execute execute ...").
 */
public final class Repeat extends ExecutionBlock {
  private int runs;
  private final StringBuilder journal = new StringBuilder();

  @Override
  public synchronized void reset() {
    runs = 0;
    note("reset");
  }

  @Override
  public synchronized void execute() {
    ++runs;
    note("execute");
    ((SScalar) getOutputPort("runs").getData()).setValue(Integer.toString(runs));
  }

  @Override
  public synchronized boolean needToRepeat() {
    return runs <= parameters().getInteger("times", 2);
  }

  @Override
  public synchronized String statusData(int code) {
    return code == 1 ? journal.toString() : "status " + code;
  }

  private void note(String call) {
    journal.append(journal.length() == 0 ? "" : " ").append(call);
  }
}
