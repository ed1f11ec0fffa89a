package net.morvex.executors.api.data;

import java.util.UUID;

/**
 * A named input or output of a model, with the {@link Data} object through which the model
 * reads its input or writes its output. Native code creates the ports of a worker, gives each
 * its Data object, and tells it before each execution whether a link of the chain feeds or
 * takes it. The setters return the port, so calls can be chained.
 */
public final class Port {
  public static final int INPUT = 1;
  public static final int OUTPUT = 2;

  private String name;
  private int portTypeCode;
  private UUID uuid;
  private DataType dataType;
  private volatile boolean connected;
  private volatile Data data;

  public Port setName(String name) {
    this.name = name;
    return this;
  }

  public String getName() {
    return name;
  }

  /** {@link #INPUT} or {@link #OUTPUT}. */
  public Port setPortTypeCode(int portTypeCode) {
    this.portTypeCode = portTypeCode;
    return this;
  }

  public int getPortTypeCode() {
    return portTypeCode;
  }

  /** The native port's id. */
  public Port setUuid(UUID uuid) {
    this.uuid = uuid;
    return this;
  }

  public UUID getUuid() {
    return uuid;
  }

  public Port setDataType(DataType dataType) {
    this.dataType = dataType;
    return this;
  }

  public DataType getDataType() {
    return dataType;
  }

  public Port setConnected(boolean connected) {
    this.connected = connected;
    return this;
  }

  public boolean isConnected() {
    return connected;
  }

  public Port setData(Data data) {
    this.data = data;
    return this;
  }

  public Data getData() {
    return data;
  }
}
