package net.morvex.executors.api;

import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.MethodType;
import java.lang.reflect.Field;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.WeakHashMap;
import net.morvex.executors.api.data.Port;
import net.morvex.executors.api.data.SMat;

/**
 * The output buffers of one executor: one direct buffer per output port, in the machine's byte
 * order, reused from run to run while the size asked for fits. A buffer that must grow is made
 * with an eighth more room, so frames a little larger than the last do not each make a new one;
 * the buffer it replaces is left to the garbage collector, since the model may still hold it.
 *
 * <p>{@link #release} frees the memory at once rather than waiting for a garbage collection,
 * which direct memory alone rarely brings about; an output matrix that still views a released
 * buffer is emptied first. It runs when the executor closes and when its session is cleared,
 * both at times when the executor does not run.
 *
 * <p>Threads: the methods may be called from any thread; each buffer set locks itself.
 */
final class OutputBuffers {
  private static final MethodHandle FREE = findFree();
  // Live buffer sets by the session their executor belongs to; an executor that is never
  // closed drops out with it.
  private static final Map<OutputBuffers, String> SESSIONS =
      Collections.synchronizedMap(new WeakHashMap<>());

  private record Owned(ByteBuffer memory, Port port, ByteBuffer handedOut) {}

  private final Map<String, Owned> buffers = new HashMap<>();

  /** Counts the buffers in with the session's, for {@link #releaseSession}. */
  void joinSession(String session) {
    if (session != null) {
      SESSIONS.put(this, session);
    }
  }

  /** Releases the buffers of every executor of the session. */
  static void releaseSession(String session) {
    List<OutputBuffers> members = new ArrayList<>();
    synchronized (SESSIONS) {
      SESSIONS.forEach((buffers, owner) -> {
        if (owner.equals(session)) {
          members.add(buffers);
        }
      });
    }
    members.forEach(OutputBuffers::release);
  }

  /**
   * A buffer of exactly {@code bytes} bytes over the port's memory.
   *
   * @throws IllegalArgumentException for a size below 0 or above Integer.MAX_VALUE
   */
  synchronized ByteBuffer get(Port port, long bytes) {
    if (bytes < 0 || bytes > Integer.MAX_VALUE) {
      throw new IllegalArgumentException("No output buffer of " + bytes + " bytes");
    }
    int size = (int) bytes;
    Owned owned = buffers.get(port.getName());
    if (owned != null && owned.handedOut.capacity() == size && owned.port == port) {
      return owned.handedOut.clear();
    }
    ByteBuffer memory = owned != null && owned.memory.capacity() >= size
        ? owned.memory
        : ByteBuffer.allocateDirect((int) Math.min(Integer.MAX_VALUE, bytes + bytes / 8));
    ByteBuffer handedOut = memory.slice(0, size).order(ByteOrder.nativeOrder());
    buffers.put(port.getName(), new Owned(memory, port, handedOut));
    return handedOut;
  }

  /** Frees every buffer; the next {@link #get} makes a new one. */
  synchronized void release() {
    for (Owned owned : buffers.values()) {
      if (owned.port.getData() instanceof SMat mat && mat.getByteBuffer() == owned.handedOut) {
        mat.setByteBuffer(null);
      }
      free(owned.memory);
    }
    buffers.clear();
  }

  /** Leaves the session's count, for an executor that is going away. */
  void leaveSession() {
    SESSIONS.remove(this);
  }

  private static void free(ByteBuffer memory) {
    if (FREE == null) {
      return;
    }
    try {
      FREE.invokeExact(memory);
    } catch (Throwable notFreed) {
      // Left to the garbage collector, as without the handle.
    }
  }

  // Unsafe.invokeCleaner frees a direct buffer's memory at once. Without it (a VM that does
  // not offer it) released buffers wait for the garbage collector.
  private static MethodHandle findFree() {
    try {
      Class<?> unsafeClass = Class.forName("sun.misc.Unsafe");
      Field instance = unsafeClass.getDeclaredField("theUnsafe");
      instance.setAccessible(true);
      return MethodHandles.lookup()
          .findVirtual(unsafeClass, "invokeCleaner",
              MethodType.methodType(void.class, ByteBuffer.class))
          .bindTo(instance.get(null));
    } catch (ReflectiveOperationException | RuntimeException unavailable) {
      return null;
    }
  }
}
