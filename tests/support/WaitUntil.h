#pragma once

#include <chrono>
#include <functional>

// Polls `condition` every millisecond until it holds or `timeout` has passed.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
