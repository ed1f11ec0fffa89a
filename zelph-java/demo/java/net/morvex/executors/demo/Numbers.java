package net.morvex.executors.demo;

import net.morvex.executors.api.data.SNumbers;

/** The values of a block of numbers of any kind, as doubles. */
final class Numbers {
  private Numbers() {}

  static double[] values(SNumbers numbers) {
    Object array = numbers.getArray();
    if (array instanceof double[] a) {
      return a.clone();
    }
    double[] values;
    if (array instanceof byte[] a) {
      values = new double[a.length];
      for (int i = 0; i < a.length; ++i) values[i] = a[i];
    } else if (array instanceof short[] a) {
      values = new double[a.length];
      for (int i = 0; i < a.length; ++i) values[i] = a[i];
    } else if (array instanceof int[] a) {
      values = new double[a.length];
      for (int i = 0; i < a.length; ++i) values[i] = a[i];
    } else if (array instanceof long[] a) {
      values = new double[a.length];
      for (int i = 0; i < a.length; ++i) values[i] = a[i];
    } else if (array instanceof float[] a) {
      values = new double[a.length];
      for (int i = 0; i < a.length; ++i) values[i] = a[i];
    } else {
      values = new double[0];
    }
    return values;
  }
}
