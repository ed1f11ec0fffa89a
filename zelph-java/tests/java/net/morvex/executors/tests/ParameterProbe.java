package net.morvex.executors.tests;

import java.util.ArrayList;
import java.util.List;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.parameters.Parameters;

/**
 * Keeps a journal of every setting it receives and every change it is told about, in order.
 * Setters of names that begin with "fail.set" and changes of names that begin with
 * "fail.change" throw.
 */
public final class ParameterProbe extends ExecutionBlock {
  private final List<String> journal = new ArrayList<>();

  private final Parameters parameters = new Parameters() {
    @Override
    public Parameters setBoolean(String name, boolean value) {
      return record(name, "boolean", value, () -> super.setBoolean(name, value));
    }

    @Override
    public Parameters setInteger(String name, int value) {
      return record(name, "int", value, () -> super.setInteger(name, value));
    }

    @Override
    public Parameters setLong(String name, long value) {
      return record(name, "long", value, () -> super.setLong(name, value));
    }

    @Override
    public Parameters setDouble(String name, double value) {
      return record(name, "double", value, () -> super.setDouble(name, value));
    }

    @Override
    public Parameters setString(String name, String value) {
      return record(name, "string", value, () -> super.setString(name, value));
    }

    private Parameters record(
        String name, String kind, Object value, java.util.function.Supplier<Parameters> set) {
      if (name.startsWith("fail.set")) {
        throw new IllegalArgumentException("setting refused: " + name);
      }
      synchronized (journal) {
        journal.add(kind + " " + name + "=" + value);
      }
      return set.get();
    }
  };

  @Override
  public Parameters parameters() {
    return parameters;
  }

  @Override
  public void onChangeParameter(String name) {
    if (name.startsWith("fail.change")) {
      throw new IllegalStateException("change refused: " + name);
    }
    synchronized (journal) {
      journal.add("changed " + name);
    }
  }

  @Override
  public void execute() {}

  /** The journal so far, one entry a line; the journal starts again empty. */
  public String takeJournal() {
    synchronized (journal) {
      String text = String.join("\n", journal);
      journal.clear();
      return text;
    }
  }
}
