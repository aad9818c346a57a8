// The memory counters of the benchmarks (Linux): the rise of the process's
// peak resident size (VmHWM, reset through /proc/self/clear_refs) over its
// resident size when the measure started.
#ifndef orviBenchMemory_h
#define orviBenchMemory_h

#include <fstream>
#include <string>

namespace orvi_bench
{

/// A resident-size figure of this process in MB, from /proc/self/status.
inline double StatusMB(const std::string& key)
{
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
  {
    if (line.compare(0, key.size(), key) == 0)
    {
      return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
  }
  return 0.0;
}

/// Resets the peak and returns the resident size to measure from.
inline double StartPeakMeasure()
{
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusMB("VmRSS");
}

/// The most memory used since StartPeakMeasure() beyond what was resident then.
inline double PeakRiseMB(double startRSS)
{
  return StatusMB("VmHWM") - startRSS;
}

} // namespace orvi_bench

#endif
