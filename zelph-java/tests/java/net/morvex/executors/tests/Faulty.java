package net.morvex.executors.tests;

import java.io.IOException;
import java.util.Arrays;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.Port;
import net.morvex.executors.api.data.SScalar;

/**
 * Fails where the setting "fail" says: a comma-separated list of "execute", "reset", "change",
 * "close", "repeat", "check", "visible", "status". execute() first writes "written before the
 * failure" to its output "out", then throws an IllegalStateException caused by an IOException.
 * The other places throw an IllegalStateException named after the place.
 */
public final class Faulty extends ExecutionBlock {
  private boolean failsIn(String place) {
    return Arrays.asList(parameters().getString("fail", "").split(",")).contains(place);
  }

  private void failIfAsked(String place) {
    if (failsIn(place)) {
      throw new IllegalStateException(place + " failed");
    }
  }

  @Override
  public void execute() {
    ((SScalar) getOutputPort("out").getData()).setValue("written before the failure");
    if (failsIn("execute")) {
      throw new IllegalStateException("execute failed", new IOException("disk gone"));
    }
  }

  @Override
  public void reset() {
    failIfAsked("reset");
  }

  @Override
  public void onChangeParameter(String name) {
    failIfAsked("change");
  }

  @Override
  public void close() {
    failIfAsked("close");
  }

  @Override
  public boolean needToRepeat() {
    failIfAsked("repeat");
    return false;
  }

  @Override
  public Boolean checkInputNecessary(Port port) {
    failIfAsked("check");
    return null;
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    failIfAsked("visible");
    return null;
  }

  @Override
  public String statusData(int code) {
    failIfAsked("status");
    return "";
  }
}
