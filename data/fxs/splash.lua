-- Drops thrown up where the worm's tail lands a blow; they fall back and
-- fade.
FXParm("bitmap", "fxs/gfx/drop.png")
FXParm("num_parts", 10)
FXParm("move_angle", -90)
FXParm("move_angle_spread", 200)
FXParm("speed", 60, 160)
FXParm("initial_move", 2, 6)
FXParm("mass", 30, 45)
FXParm("age_to_die", 0.45, 0.7)
FXParm("scale", 0.35, 0.75)
FXParm("alpha_graph", 0, 1)
FXParm("alpha_graph", 0.7, 1)
FXParm("alpha_graph", 1, 0)
