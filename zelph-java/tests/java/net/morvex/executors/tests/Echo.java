package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.Data;
import net.morvex.executors.api.data.Port;
import net.morvex.executors.api.data.SMat;
import net.morvex.executors.api.data.SNumbers;
import net.morvex.executors.api.data.SScalar;

/**
 * Hands every input on to the output port of the same name, flag word included: matrices and
 * number arrays without a copy, texts as they are.
 */
public final class Echo extends ExecutionBlock {
  @Override
  public void execute() {
    for (Port input : inputPorts()) {
      Port output = getOutputPort(input.getName());
      if (output != null && input.getData() != null && output.getData() != null) {
        copy(input.getData(), output.getData());
      }
    }
  }

  private static void copy(Data from, Data to) {
    to.setFlags(from.getFlags());
    if (!from.isInitialized()) {
      return;
    }
    if (from instanceof SMat mat && to instanceof SMat out) {
      out.setMatrix(
          mat.getDimensions(), mat.getNumberOfChannels(), mat.getDepthCode(), mat.getByteBuffer());
    } else if (from instanceof SNumbers numbers && to instanceof SNumbers out) {
      out.setArray(numbers.getArray());
      out.setBlockLength(numbers.getBlockLength());
    } else if (from instanceof SScalar scalar && to instanceof SScalar out) {
      out.setValue(scalar.getValue());
    }
  }
}
