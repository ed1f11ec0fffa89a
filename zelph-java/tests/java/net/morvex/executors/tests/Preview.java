package net.morvex.executors.tests;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.Previewable;
import net.morvex.executors.api.data.Data;
import net.morvex.executors.api.data.SMat;

/** Draws its own preview: a 2 x 1 grey matrix of the values 7 and 9. Does nothing else. */
public final class Preview extends ExecutionBlock implements Previewable {
  @Override
  public void execute() {}

  @Override
  public Data createPreview() {
    ByteBuffer pixels = ByteBuffer.allocateDirect(2);
    pixels.put(0, (byte) 7).put(1, (byte) 9);
    SMat preview = new SMat();
    preview.setMatrix(2, 1, 1, 0, pixels);
    return preview;
  }
}
