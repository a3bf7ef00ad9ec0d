// Compiled only so that its target makes the production code's precompiled header.
