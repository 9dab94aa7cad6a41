#pragma once
// The tool's frames taken the way --pick asks (exact times, best near each
// time, one per shot), and --shot-list written when asked for.
#include <string>
#include <utility>
#include <vector>

#include "base/op_result.h"
#include "cli/command_line.h"
#include "cli/movie_flow.h"
#include "grabbing/target_grabs.h"
#include "sheet/sprite_layout.h"

class SegmentGrabber;

// A sheet's (or frame files') frames: `positions` are Grab All's steps and
// `latest` their blank-picture limits. Shots are looked for when the choice
// or --shot-list needs them; their number goes into `facts`.
OpResult GrabSheetChoice(SegmentGrabber& grabber, const std::string& movie, const CliSettings& settings,
                         const std::vector<double>& positions, const std::vector<double>& latest,
                         const TargetGrabHooks& hooks, MovieFacts& facts);

// A thumbnail track's pictures: exact (GrabTargets with `keyTimes`, blank
// limits `latest` only under --skip-blank) or the best inside each cue.
OpResult GrabCueChoice(SegmentGrabber& grabber, const CliSettings& settings, const std::vector<CueSpan>& cues,
                       const std::vector<double>& positions, const std::vector<double>& latest,
                       const TargetGrabHooks& hooks, const std::vector<double>& keyTimes);

// The shots as CSV, header line first: shot number (from 1), start frame,
// start time, end frame, end time, length in seconds.
std::string ShotListText(const std::vector<struct Shot>& shots);
