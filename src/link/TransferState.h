// Busy and abort state of one link, shared by the TFTP client and the Modbus
// RTU link. A transfer waits while the user interface processes events; an
// event may ask to abort it (a window closing) or try to start another one
// on the same link, which is refused.
#pragma once

struct TransferState {
    bool Busy = false;           // a transfer runs
    bool AbortRequested = false; // it is to end at its next wait, as failed
};

// Asks the running transfer to end; does nothing when none runs.
inline void requestAbort(TransferState& state) {
    if (state.Busy) {
        state.AbortRequested = true;
    }
}

// Marks the link busy for one transfer. An abort asked for outside a
// transfer never carries over into the next one.
class TransferScope {
  public:
    explicit TransferScope(TransferState& state) : state_(state) {
        state_.Busy = true;
        state_.AbortRequested = false;
    }
    ~TransferScope() {
        state_.Busy = false;
        state_.AbortRequested = false;
    }
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;

  private:
    TransferState& state_;
};
