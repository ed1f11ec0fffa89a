package net.morvex.executors.demo;

import java.math.BigDecimal;
import java.math.RoundingMode;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SScalar;

/**
 * A scalar as text: "prefix", the value, "suffix" (settings, empty by default). With
 * "decimals" (setting, default -1) at 0 or more, a value that reads as a decimal number is
 * written with that many decimals, rounded half up ("2.345" with 2 gives "2.35"); any other
 * value is written as it is.
 */
public final class Format extends ExecutionBlock {
  @Override
  public void execute() {
    SScalar in = (SScalar) getInputPort("value").getData();
    if (!in.isInitialized()) {
      return;
    }
    String value = in.getValue() != null ? in.getValue() : "";
    int decimals = parameters().getInteger("decimals", -1);
    if (decimals >= 0) {
      try {
        value = new BigDecimal(value.trim()).setScale(decimals, RoundingMode.HALF_UP)
                    .toPlainString();
      } catch (NumberFormatException notANumber) {
        // written as it is
      }
    }
    ((SScalar) getOutputPort("text").getData())
        .setValue(parameters().getString("prefix", "") + value
            + parameters().getString("suffix", ""));
  }
}
