package net.morvex.executors.demo;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SNumbers;

/**
 * A block of numbers of any kind times "factor" (setting, default 2.0), as doubles with the
 * input's block length.
 */
public final class Scale extends ExecutionBlock {
  @Override
  public void execute() {
    SNumbers in = (SNumbers) getInputPort("values").getData();
    if (!in.isInitialized()) {
      return;
    }
    double factor = parameters().getDouble("factor", 2.0);
    double[] values = Numbers.values(in);
    for (int i = 0; i < values.length; ++i) {
      if (Interrupts.due(this, i)) {
        return;
      }
      values[i] *= factor;
    }
    SNumbers out = (SNumbers) getOutputPort("values").getData();
    out.setArray(values);
    out.setBlockLength(in.getBlockLength());
  }
}
