#pragma once

#include <string>

namespace tw::platform {

// Priority levels 0 (idle) to 5 (highest) as nice values 19, 10, 0, -5, -10, -20.
int NiceValueForLevel(int level);

// Sets the nice value of the whole process for level. Returns false with a reason when the
// system refuses (raising the priority needs privileges); the caller logs it and goes on.
bool ApplyProcessPriority(int level, std::string* error);

// The level conversions run at (initially 2, normal). Set from the user's preferences; the
// window's own thread is never touched by it. A negative level leaves conversions at the
// priority of the thread that starts them (the command line's, which `nice` chose). Any thread.
void SetConversionPriority(int level);
int ConversionPriority();

// Gives the calling thread, a conversion's worker, the conversion level; the threads it starts
// afterwards (the codecs' own) inherit it. Returns false with a reason when the system refuses.
bool ApplyConversionPriorityToThisThread(std::string* error);

}  // namespace tw::platform
