// The source image page of the designer; built with the designer tool.
