// placeholder until the first gui service lands
