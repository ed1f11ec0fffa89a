package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.Port;
import net.morvex.executors.api.data.SScalar;

/**
 * Joins its two texts ("first", "second") with the setting "separator" into "joined"; an input
 * without a value counts as empty. Whether it needs an input is the setting "necessary":
 * "true", "false", or anything else for no opinion.
 */
public final class ScalarJoin extends ExecutionBlock {
  @Override
  public void execute() {
    String joined = text("first") + parameters().getString("separator", " ") + text("second");
    ((SScalar) getOutputPort("joined").getData()).setValue(joined);
  }

  private String text(String input) {
    SScalar scalar = (SScalar) getInputPort(input).getData();
    return scalar.isInitialized() && scalar.getValue() != null ? scalar.getValue() : "";
  }

  @Override
  public Boolean checkInputNecessary(Port port) {
    switch (parameters().getString("necessary", "")) {
      case "true":
        return Boolean.TRUE;
      case "false":
        return Boolean.FALSE;
      default:
        return null;
    }
  }
}
