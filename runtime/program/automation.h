// The runtime's side of the automation switches: frame limit, screenshots and the frame log.
#pragma once

namespace quillon {

class OpenGLRainbows;

// Keeps a copy of the frame about to be presented when screenshots are asked for.
void CaptureFrameForAutomation(OpenGLRainbows& device);
void LogPresentedFrame(double swapReturned, double gridPoint, double released);
bool AutomationFrameLimitReached(long showScreenCount);
// Writes the last screenshot and closes the frame log; called by the program end.
void FinishAutomation();

}  // namespace quillon
