// The desktop's permission to record the screen, asked once: the restore token the
// screen-cast portal hands back is kept in the user's state folder (readable by the
// user only) and passed next time, so that later recordings start without the dialog.
// This is the platform's permission, not a setting of the program.
#pragma once

#include "record/core/portal_capture.h"

#include <chrono>
#include <memory>
#include <string>

// $XDG_STATE_HOME/clipmoor/screencast-token, with $HOME/.local/state when XDG_STATE_HOME
// is unset or not absolute; empty when neither is known.
std::string ScreenCastTokenPath(const char* xdgStateHome, const char* home);

// The stored token; empty when there is none.
std::string LoadScreenCastToken(const std::string& path);
// Replaces the stored token (mode 0600, the folder 0700 when it is created). Returns
// false when it cannot be written.
bool StoreScreenCastToken(const std::string& path, const std::string& token);

// Starts a portal capture with `overrideToken` (CLIPMOOR_SCREENCAST_TOKEN) when it is set
// and not empty, else with the token stored at `tokenPath`, and stores the token the
// desktop hands back. Throws CaptureError.
std::unique_ptr<PortalCapture> StartPortalCapture(const std::string& tokenPath,
                                                  const char* overrideToken,
                                                  std::chrono::milliseconds answerTimeout);

// StartPortalCapture for this user: the token file under $XDG_STATE_HOME (or $HOME),
// CLIPMOOR_SCREENCAST_TOKEN, and CLIPMOOR_SCREENCAST_TIMEOUT seconds (60 when unset) for
// the user's answer. Throws CaptureError.
std::unique_ptr<PortalCapture> StartPortalCaptureForUser();
