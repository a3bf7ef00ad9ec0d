#pragma once
// Runs code that may show message boxes on this thread while a robot thread
// records and dismisses every box it shows.
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "Robot.h"

class CBoxCollector {
public:
    CBoxCollector()
        : m_thread([this] {
              while (!m_stop) {
                  if (HWND box = harness::FindMessageBox(GetCurrentProcessId(), 20)) {
                      harness::MessageBoxSeen seen = harness::ReadMessageBox(box);
                      {
                          std::lock_guard<std::mutex> lock(m_mutex);
                          m_boxes.push_back(seen);
                      }
                      harness::DismissMessageBox(box);
                  }
              }
          })
    {
    }
    ~CBoxCollector() { Stop(); }
    CBoxCollector(const CBoxCollector&) = delete;
    CBoxCollector& operator=(const CBoxCollector&) = delete;

    // The boxes shown so far, oldest first; the collector stops.
    std::vector<harness::MessageBoxSeen> Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

private:
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<harness::MessageBoxSeen> m_boxes;
    std::thread m_thread;
};

// The texts of the boxes shown while action ran.
inline std::vector<std::string> BoxTextsDuring(const std::function<void()>& action)
{
    CBoxCollector collector;
    action();
    std::vector<std::string> texts;
    for (const auto& box : collector.Stop())
        texts.push_back(box.text);
    return texts;
}

using harness::Texts;
