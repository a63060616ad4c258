// The source that makes the window code's precompiled header be built (see KelmonTargets.cmake).
