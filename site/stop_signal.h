#pragma once
// A one-way "we are shutting down" flag that blocking waits can include in
// their poll() sets: once raised, its descriptor stays readable for good, so
// every thread that waits on it wakes, however many there are.

namespace site {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    void raise();
    bool raised() const;
    // Readable once raised; never drained.
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

}  // namespace site
