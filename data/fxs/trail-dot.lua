-- One faint dot left behind by a moving particle.
FXParm("bitmap", "images/spark.png")
FXParm("num_parts", 1)
FXParm("age_to_die", 0.2, 0.3)
FXParm("alpha", 0.4, 0.6)
FXParm("scale", 0.3, 0.4)
FXParm("blend_mode", "additive")
