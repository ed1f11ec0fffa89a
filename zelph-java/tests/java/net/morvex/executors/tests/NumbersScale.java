package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SNumbers;

/**
 * Multiplies every number of its input ("values") by the setting "factor" into its output
 * ("values"), keeping the array's kind (integer kinds are rounded) and its block length. A
 * factor that is not finite is refused when it changes.
 */
public final class NumbersScale extends ExecutionBlock {
  private double factor() {
    return parameters().getDouble("factor", 1.0);
  }

  @Override
  public void onChangeParameter(String name) {
    if (name.equals("factor") && !Double.isFinite(factor())) {
      throw new IllegalArgumentException("factor must be finite: " + factor());
    }
  }

  @Override
  public void execute() {
    SNumbers in = (SNumbers) getInputPort("values").getData();
    if (!in.isInitialized()) {
      return;
    }
    SNumbers out = (SNumbers) getOutputPort("values").getData();
    out.setArray(scaled(in.getArray(), factor()));
    out.setBlockLength(in.getBlockLength());
  }

  private static Object scaled(Object array, double f) {
    if (array instanceof byte[] a) {
      byte[] r = new byte[a.length];
      for (int i = 0; i < a.length; ++i) r[i] = (byte) Math.round(a[i] * f);
      return r;
    } else if (array instanceof short[] a) {
      short[] r = new short[a.length];
      for (int i = 0; i < a.length; ++i) r[i] = (short) Math.round(a[i] * f);
      return r;
    } else if (array instanceof int[] a) {
      int[] r = new int[a.length];
      for (int i = 0; i < a.length; ++i) r[i] = (int) Math.round(a[i] * f);
      return r;
    } else if (array instanceof long[] a) {
      long[] r = new long[a.length];
      for (int i = 0; i < a.length; ++i) r[i] = Math.round(a[i] * f);
      return r;
    } else if (array instanceof float[] a) {
      float[] r = new float[a.length];
      for (int i = 0; i < a.length; ++i) r[i] = (float) (a[i] * f);
      return r;
    }
    double[] a = (double[]) array;
    double[] r = new double[a.length];
    for (int i = 0; i < a.length; ++i) r[i] = a[i] * f;
    return r;
  }
}
