-- ui/test-slow.lua: a screen whose preload takes a while.

UIEvents ("ui/events/test-slow.lua");
