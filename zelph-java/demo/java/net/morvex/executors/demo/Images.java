package net.morvex.executors.demo;

import java.nio.ByteBuffer;
import net.morvex.executors.api.data.SMat;

/**
 * The 8-bit images the image models take and give: two dimensions (width, height), 1 to 4
 * channels, depth code 0, the channel values of a pixel adjacent, rows one after another, so
 * channel c of pixel (x, y) is byte (y * width + x) * channels + c.
 */
final class Images {
  static final int DEPTH_8U = 0;

  private Images() {}

  /**
   * The input's bytes, checked to be an 8-bit image of two dimensions whose buffer holds all
   * its pixels.
   */
  static ByteBuffer pixels(SMat image) {
    if (image.getDepthCode() != DEPTH_8U || image.getDimCount() != 2) {
      throw new IllegalArgumentException("Not an 8-bit image of two dimensions");
    }
    ByteBuffer buffer = image.getByteBuffer();
    long needed = image.getDimX() * image.getDimY() * image.getNumberOfChannels();
    if (buffer == null || buffer.capacity() < needed) {
      throw new IllegalArgumentException("The image's buffer is shorter than its pixels");
    }
    return buffer;
  }

  static int value(ByteBuffer pixels, int index) {
    return pixels.get(index) & 0xff;
  }
}
