-- Small gold stars scattered from a star as it is won: a quick ring that
-- slows down and fades.
FXParm("bitmap", "fxs/gfx/star-piece.png")
FXParm("num_parts", 10)
FXParm("move_angle_spread", 360)
FXParm("speed", 120, 200)
FXParm("dampening_factor", 0.05, 0.1)
FXParm("age_to_die", 0.5, 0.8)
FXParm("scale", 0.4, 0.8)
FXParm("angle_spread", 360)
FXParm("angle_rps", -360, 360)
FXParm("alpha_graph", 0, 1)
FXParm("alpha_graph", 0.5, 1)
FXParm("alpha_graph", 1, 0)
