package net.morvex.executors.demo;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SNumbers;

/**
 * The sum of each block of a block of numbers of any kind (block length b: values 0 to b - 1,
 * b to 2b - 1, ...; a last, shorter block is summed too), as doubles of block length 1.
 */
public final class Sum extends ExecutionBlock {
  @Override
  public void execute() {
    SNumbers in = (SNumbers) getInputPort("values").getData();
    if (!in.isInitialized()) {
      return;
    }
    int block = Math.max(1, in.getBlockLength());
    double[] values = Numbers.values(in);
    double[] sums = new double[(values.length + block - 1) / block];
    for (int i = 0; i < values.length; ++i) {
      if (Interrupts.due(this, i)) {
        return;
      }
      sums[i / block] += values[i];
    }
    SNumbers out = (SNumbers) getOutputPort("sums").getData();
    out.setArray(sums);
    out.setBlockLength(1);
  }
}
